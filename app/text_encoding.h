// Conversions between the UTF-16 text of the Windows interfaces and narrow text.
#pragma once

#include <string>

// Into the calling thread's ANSI code page; characters it cannot represent become its default character.
std::string WideToAnsi(const std::wstring& text);
std::string WideToUtf8(const std::wstring& text);
// From the calling thread's ANSI code page (system messages arrive in it) to UTF-8.
std::string AnsiToUtf8(const std::string& text);
std::wstring Utf8ToWide(const std::string& text);
