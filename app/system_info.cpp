#include "app/system_info.h"

#include <windows.h>

#include <cwchar>
#include <vector>

#include "app/unique_resource.h"
#include "app/win_path.h"

namespace {

std::wstring OwnModulePath() {
  HMODULE module = nullptr;
  // The address of a function of this module identifies it; the reference count stays unchanged, so
  // nothing needs freeing.
  if (!::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(&OwnModulePath), &module)) {
    return {};
  }
  wchar_t buffer[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(module, buffer, MAX_PATH);
  return std::wstring(buffer, length);
}

}  // namespace

std::wstring GetExeFileName() { return FileName(OwnModulePath()); }

std::wstring GetExeDirectory() { return ParentPath(OwnModulePath()); }

std::wstring GetTempDirectory() {
  wchar_t shortForm[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, shortForm);
  wchar_t longForm[MAX_PATH] = {};
  const DWORD longLength = ::GetLongPathNameW(shortForm, longForm, MAX_PATH);
  std::wstring chosen =
      (longLength >= 1 && longLength < MAX_PATH) ? std::wstring(longForm, longLength) : std::wstring(shortForm);
  if (chosen.empty()) return kTempDirectoryFallback;
  return chosen;
}

ResourceBytes FindOwnResource(const wchar_t* type, unsigned short id) {
  HRSRC resource = ::FindResourceW(nullptr, MAKEINTRESOURCEW(id), type);
  if (resource == nullptr) return {};
  HGLOBAL loaded = ::LoadResource(nullptr, resource);
  const void* data = loaded != nullptr ? ::LockResource(loaded) : nullptr;
  if (data == nullptr) return {};
  return {data, ::SizeofResource(nullptr, resource)};
}

std::wstring GetProductVersion() {
  wchar_t exePath[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, exePath, MAX_PATH);
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(exePath, &ignored);
  if (size == 0) return {};
  std::vector<unsigned char> block(size, 0);
  if (!::GetFileVersionInfoW(exePath, 0, size, block.data())) return {};

  struct Translation {
    WORD language;
    WORD codePage;
  };
  Translation* translations = nullptr;
  UINT translationBytes = 0;
  if (!::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations),
                        &translationBytes) ||
      translations == nullptr || translationBytes < sizeof(Translation)) {
    return {};
  }
  wchar_t subBlock[64] = {};
  std::swprintf(subBlock, 64, L"\\StringFileInfo\\%04x%04x\\ProductVersion", translations[0].language,
                translations[0].codePage);
  wchar_t* text = nullptr;
  UINT textLength = 0;
  if (!::VerQueryValueW(block.data(), subBlock, reinterpret_cast<void**>(&text), &textLength) || text == nullptr) {
    return {};
  }
  return std::wstring(text);
}

std::wstring GetMachineGuid() {
  UniqueHkey key;
  // A 32-bit process must ask for the 64-bit view explicitly; the redirected view has no MachineGuid.
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Cryptography", 0, KEY_READ | KEY_WOW64_64KEY,
                      key.Put()) != ERROR_SUCCESS) {
    return kMachineGuidFallback;
  }
  wchar_t buffer[128] = {};  // 256 bytes
  DWORD bytes = sizeof(buffer);
  if (::RegQueryValueExW(key.Get(), L"MachineGuid", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &bytes) !=
      ERROR_SUCCESS) {
    return kMachineGuidFallback;
  }
  // A value that fills the whole buffer carries no terminator of its own.
  return std::wstring(buffer, wcsnlen(buffer, 128));
}
