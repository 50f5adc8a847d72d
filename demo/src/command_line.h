// Command-line options shared by the demo programs; the installer's automated tests use
// "--exit-after-ms" to start them under Wine with nobody there to close their windows.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <optional>
#include <string>
#include <vector>

inline std::vector<std::wstring> command_line_arguments() {
  std::vector<std::wstring> arguments;
  int count = 0;
  if (LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count)) {
    for (int i = 1; i < count; ++i) arguments.emplace_back(argv[i]);
    LocalFree(argv);
  }
  return arguments;
}

// Switches are matched without regard to case, as Windows programs conventionally do.
inline bool has_switch(const wchar_t* name) {
  for (const std::wstring& argument : command_line_arguments()) {
    if (_wcsicmp(argument.c_str(), name) == 0) return true;
  }
  return false;
}

// The delay given after "--exit-after-ms"; none when the program should run until closed.
// A malformed delay counts as none, so a typo never makes a program vanish unexpectedly.
inline std::optional<UINT> exit_after_ms() {
  const std::vector<std::wstring> arguments = command_line_arguments();
  for (size_t i = 0; i + 1 < arguments.size(); ++i) {
    if (arguments[i] != L"--exit-after-ms") continue;
    const wchar_t* digits = arguments[i + 1].c_str();
    wchar_t* end = nullptr;
    const unsigned long value = std::wcstoul(digits, &end, 10);
    if (end != digits && *end == L'\0' && digits[0] != L'-') return static_cast<UINT>(value);
  }
  return std::nullopt;
}
