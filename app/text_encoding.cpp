#include "app/text_encoding.h"

#include <windows.h>

namespace {

// The input is treated as zero-terminated: the first call measures, the second converts, and the
// terminating zero that both counts include is dropped.
std::string WideToCodePage(const std::wstring& text, UINT codePage) {
  const int length = ::WideCharToMultiByte(codePage, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (length <= 1) return {};
  std::string result(static_cast<size_t>(length), '\0');
  ::WideCharToMultiByte(codePage, 0, text.c_str(), -1, result.data(), length, nullptr, nullptr);
  result.resize(static_cast<size_t>(length) - 1);
  return result;
}

std::wstring CodePageToWide(const std::string& text, UINT codePage) {
  const int length = ::MultiByteToWideChar(codePage, 0, text.c_str(), -1, nullptr, 0);
  if (length <= 1) return {};
  std::wstring result(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(codePage, 0, text.c_str(), -1, result.data(), length);
  result.resize(static_cast<size_t>(length) - 1);
  return result;
}

}  // namespace

std::string WideToAnsi(const std::wstring& text) { return WideToCodePage(text, CP_THREAD_ACP); }

std::string WideToUtf8(const std::wstring& text) { return WideToCodePage(text, CP_UTF8); }

std::string AnsiToUtf8(const std::string& text) { return WideToUtf8(CodePageToWide(text, CP_THREAD_ACP)); }

std::wstring Utf8ToWide(const std::string& text) { return CodePageToWide(text, CP_UTF8); }
