#include "engine/uninstall_entry.h"

#include <windows.h>

#include <cwchar>
#include <string>

#include "app/system_info.h"
#include "app/unique_resource.h"
#include "engine/install_engine.h"

bool SetUninstallValue(const wchar_t* name, const wchar_t* value) {
  UniqueHkey key;
  if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kUninstallSubkey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                        key.Put(), nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const DWORD bytes = static_cast<DWORD>((std::wcslen(value) + 1) * sizeof(wchar_t));
  return ::RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), bytes) == ERROR_SUCCESS;
}

void InstallEngine::WriteUninstallEntry() const {
  // Each value is written on its own; one that fails does not keep the others from being written.
  SetUninstallValue(L"DisplayName", L"Quillon");
  SetUninstallValue(L"DisplayIcon", (installDir + L"\\quillon_launcher.exe").c_str());
  SetUninstallValue(L"DisplayVersion", GetProductVersion().c_str());
  SetUninstallValue(L"InstallLocation", installDir.c_str());
  SetUninstallValue(L"Publisher", L"Vexor工作室");
  SetUninstallValue(L"UninstallString", (installDir + L"\\unins000.exe").c_str());
}
