#include "engine/uninstall.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <spdlog/spdlog.h>

#include <algorithm>
#include <system_error>
#include <vector>

#include "app/scope_exit.h"
#include "app/text_encoding.h"
#include "app/unique_resource.h"
#include "app/win_path.h"
#include "engine/folder_ownership.h"
#include "engine/kill_running_app.h"
#include "engine/shortcuts.h"
#include "engine/uninstall_entry.h"

namespace {

// True when path is gone afterwards. A read-only file is made writable first.
bool DeleteFileIfPresent(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return false;  // a folder where the record has a file: not ours
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    ::SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  }
  return ::DeleteFileW(path.c_str()) != 0 || ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

size_t Depth(const std::wstring& relative) { return std::count(relative.begin(), relative.end(), L'\\'); }

std::wstring FolderPath(int csidl) {
  wchar_t buffer[MAX_PATH] = {};
  ::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer);
  return buffer;
}

bool IsApplicationProgram(const std::wstring& target) {
  const std::wstring name = FileName(target);
  return ::_wcsicmp(name.c_str(), kLauncherName) == 0 || ::_wcsicmp(name.c_str(), L"quillon.exe") == 0;
}

// The raw target of a link file; empty when it cannot be read.
std::wstring LinkTarget(const std::wstring& linkPath) {
  ComPtr<IShellLinkW> link;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(link.Put())))) {
    return {};
  }
  ComPtr<IPersistFile> file;
  if (FAILED(link.Get()->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Put())))) return {};
  if (FAILED(file.Get()->Load(linkPath.c_str(), STGM_READ))) return {};
  wchar_t target[MAX_PATH] = {};
  if (FAILED(link.Get()->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH))) return {};
  return target;
}

}  // namespace

RemovalOutcome RemoveRecordedFiles(const std::wstring& installDir, const InstallRecord& record,
                                   const std::wstring& keepFile, const std::function<void(int, int)>& progress) {
  RemovalOutcome outcome;
  const std::wstring root = installDir + L"\\";
  const int total = static_cast<int>(record.files.size());
  int done = 0;
  for (const std::wstring& file : record.files) {
    // The marker goes last with the record: until then the folder still counts as an installation, which
    // lets a later run finish the job.
    const bool keep = (!keepFile.empty() && ::_wcsicmp(file.c_str(), keepFile.c_str()) == 0) ||
                      ::_wcsicmp(file.c_str(), kInstallMarkerName) == 0;
    if (!keep) {
      if (DeleteFileIfPresent(root + file)) {
        ++outcome.removedFiles;
      } else {
        spdlog::warn("RemoveRecordedFiles cannot delete {} err:{}", WideToUtf8(file), ::GetLastError());
        outcome.filesInUse.push_back(file);
      }
    }
    if (progress) progress(++done, total);
  }

  // Deepest first, so a folder's subfolders are gone before it is tried. RemoveDirectoryW refuses a folder
  // that is not empty: whatever the user put there keeps its folders.
  std::vector<std::wstring> folders = record.folders;
  std::stable_sort(folders.begin(), folders.end(),
                   [](const std::wstring& a, const std::wstring& b) { return Depth(a) > Depth(b); });
  for (const std::wstring& folder : folders) {
    const std::wstring path = root + folder;
    if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
    if (!::RemoveDirectoryW(path.c_str())) outcome.keptFolders.push_back(folder);
  }

  // The record and the marker go last, and only when every recorded file is gone: a later run can then still
  // finish what files in use kept this one from removing.
  if (outcome.filesInUse.empty()) {
    DeleteFileIfPresent(root + kInstallRecordName);
    DeleteFileIfPresent(root + kInstallMarkerName);
    ::RemoveDirectoryW(installDir.c_str());
  }
  return outcome;
}

void RemoveShortcuts() {
  const std::wstring programs = FolderPath(CSIDL_COMMON_PROGRAMS) + L"\\Quillon";
  DeleteFileIfPresent(FolderPath(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Quillon.lnk");
  DeleteFileIfPresent(programs + L"\\Quillon.lnk");
  DeleteFileIfPresent(programs + L"\\卸载Quillon.lnk");
  ::RemoveDirectoryW(programs.c_str());  // only when empty: other links there are not ours
  ::SHChangeNotify(SHCNE_UPDATEDIR, SHCNF_PATHW, programs.c_str(), nullptr);
}

int UnpinTaskbar(const std::wstring& installDir) {
  const std::wstring folder = TaskbarPinFolder();
  std::error_code error;
  if (folder.empty() || !PathExists(folder, error)) return 0;

  const HRESULT com = ::CoInitialize(nullptr);
  if (FAILED(com) && com != RPC_E_CHANGED_MODE) return 0;
  const bool initialized = SUCCEEDED(com);
  auto uninitialize = MakeScopeExit([initialized] {
    if (initialized) ::CoUninitialize();
  });

  std::vector<std::wstring> pins;
  std::vector<FolderEntry> entries;
  ListFolder(folder, entries, error);  // what could be listed is looked at
  for (const FolderEntry& entry : entries) {
    if (entry.IsFolder()) continue;
    // A name with a stem and the extension ".lnk" in any case.
    if (entry.name.size() <= 4 || ::_wcsicmp(entry.name.c_str() + entry.name.size() - 4, L".lnk") != 0) continue;
    const std::wstring pin = JoinPath(folder, entry.name);
    const std::wstring target = LinkTarget(pin);
    if (IsApplicationProgram(target) && ProgramIsInFolders(target, {installDir})) pins.push_back(pin);
  }
  int removed = 0;
  for (const std::wstring& pin : pins) removed += DeleteFileIfPresent(pin) ? 1 : 0;
  if (removed > 0) ::SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
  return removed;
}

bool RemoveUninstallEntry(const std::wstring& installDir) {
  const std::wstring registered = RegisteredInstallLocation();
  UniqueHkey key;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallSubkey, 0, KEY_READ, key.Put()) != ERROR_SUCCESS) {
    return true;
  }
  key = UniqueHkey();
  if (!registered.empty() && !SameFolder(registered, installDir)) {
    spdlog::warn("RemoveUninstallEntry the entry registers {}, left in place", WideToUtf8(registered));
    return true;
  }
  const LSTATUS status = ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kUninstallSubkey);
  if (status != ERROR_SUCCESS) spdlog::error("RemoveUninstallEntry RegDeleteKeyW err:{}", status);
  return status == ERROR_SUCCESS;
}
