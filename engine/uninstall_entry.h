// The application's entry in the system's list of installed programs.
#pragma once

// Under HKEY_LOCAL_MACHINE, in the registry view of this 32-bit process (WOW6432Node on 64-bit Windows).
// The doubled closing brace is part of the name: the main window reads the same key.
inline constexpr wchar_t kUninstallSubkey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{7A31C0DE-2F4B-4E19-9C5D-3B8E6A0F1D27}}_is1";

// Creates or opens the uninstall key and writes one REG_SZ value (with its terminating NUL). True only when
// both succeeded.
bool SetUninstallValue(const wchar_t* name, const wchar_t* value);
