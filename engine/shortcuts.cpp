// The desktop and start-menu links, written through the shell's link object.
#include "engine/shortcuts.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <spdlog/spdlog.h>

#include <cwctype>
#include <system_error>

#include "app/unique_resource.h"
#include "app/win_path.h"
#include "engine/install_engine.h"

namespace {

// CoInitialize for the current scope; CoUninitialize only when it succeeded.
class ComScope {
 public:
  ComScope() noexcept : result_(::CoInitialize(nullptr)) {}
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  ~ComScope() {
    if (SUCCEEDED(result_)) ::CoUninitialize();
  }
  [[nodiscard]] HRESULT Result() const noexcept { return result_; }

 private:
  HRESULT result_;
};

// The text of a shell folder; empty when the system cannot name it.
std::wstring FolderPath(int csidl) {
  wchar_t buffer[MAX_PATH] = {};
  ::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer);
  return buffer;
}

}  // namespace

bool CreateShortcut(const std::wstring& target, const std::wstring& linkPath, const std::wstring& description,
                    const std::wstring& iconPath) {
  const DWORD attributes = ::GetFileAttributesW(linkPath.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & FILE_ATTRIBUTE_READONLY) {
      ::SetFileAttributesW(linkPath.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    if (!::DeleteFileW(linkPath.c_str())) return false;
  }

  ComScope com;
  if (FAILED(com.Result())) return false;
  ComPtr<IShellLinkW> link;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(link.Put())))) {
    return false;
  }
  link.Get()->SetPath(target.c_str());
  link.Get()->SetDescription(description.c_str());
  const size_t separator = target.find_last_of(L"\\/");
  if (separator != std::wstring::npos) link.Get()->SetWorkingDirectory(target.substr(0, separator).c_str());
  if (!iconPath.empty()) link.Get()->SetIconLocation(iconPath.c_str(), 0);

  ComPtr<IPersistFile> file;
  if (FAILED(link.Get()->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Put())))) return false;
  return SUCCEEDED(file.Get()->Save(linkPath.c_str(), TRUE));
}

bool EnsureDirectory(const std::wstring& dir) {
  std::error_code error;
  if (PathExists(dir, error)) return true;
  return CreateDirectories(dir, error);
}

bool ContainsNoCase(std::wstring haystack, std::wstring needle) {
  for (wchar_t& c : haystack) c = static_cast<wchar_t>(std::towlower(c));
  for (wchar_t& c : needle) c = static_cast<wchar_t>(std::towlower(c));
  return haystack.find(needle) != std::wstring::npos;
}

std::wstring TaskbarPinFolder() {
  wchar_t appData[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData))) return {};
  return JoinPath(appData, L"Microsoft\\Internet Explorer\\Quick Launch\\User Pinned\\TaskBar");
}

void InstallEngine::CreateShortcuts() const {
  const std::wstring launcher = installDir + L"\\quillon_launcher.exe";
  const std::wstring uninstaller = installDir + L"\\unins000.exe";

  if (!CreateShortcut(launcher, FolderPath(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Quillon.lnk", L"Quillon", launcher)) {
    spdlog::error("CreateShortcut desktop err");
  }
  EnsureDirectory(FolderPath(CSIDL_COMMON_PROGRAMS) + L"\\Quillon");
  if (!CreateShortcut(launcher, FolderPath(CSIDL_COMMON_PROGRAMS) + L"\\Quillon\\Quillon.lnk", L"Quillon", launcher)) {
    spdlog::error("CreateShortcut startMenu err");
  }
  if (!CreateShortcut(uninstaller, FolderPath(CSIDL_COMMON_PROGRAMS) + L"\\Quillon\\卸载Quillon.lnk", L"卸载Quillon",
                      uninstaller)) {
    spdlog::error("CreateShortcut uninstall startMenu err");
  }
  RepointTaskbarPins();
}
