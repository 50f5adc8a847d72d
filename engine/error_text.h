// The text of a failed operation's error for the log: the system's own message, in UTF-8.
#pragma once

#include <string>
#include <system_error>

// System error values are looked up with FormatMessage (the system delivers them in the thread's ANSI code
// page); other categories give their own text. Trailing line breaks are dropped.
std::string ErrorText(const std::error_code& error);
