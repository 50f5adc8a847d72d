#include "tests/support/machine_guid_override.h"

#include <windows.h>

MachineGuidOverride::MachineGuidOverride() {
  ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Cryptography", 0, KEY_READ | KEY_WRITE | KEY_WOW64_64KEY,
                  key_.Put());
  wchar_t buffer[128] = {};
  DWORD bytes = sizeof(buffer);
  saved_ = key_ && ::RegQueryValueExW(key_.Get(), L"MachineGuid", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer),
                                      &bytes) == ERROR_SUCCESS;
  if (saved_) original_ = buffer;
}

MachineGuidOverride::~MachineGuidOverride() {
  if (saved_) Set(original_);
}

void MachineGuidOverride::Set(const std::wstring& value) {
  ::RegSetValueExW(key_.Get(), L"MachineGuid", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void MachineGuidOverride::Remove() { ::RegDeleteValueW(key_.Get(), L"MachineGuid"); }
