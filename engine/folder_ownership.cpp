#include "engine/folder_ownership.h"

#include <windows.h>

#include <string>

#include "app/text_encoding.h"
#include "app/unique_resource.h"
#include "engine/install_failure.h"
#include "engine/uninstall_entry.h"

namespace {

std::wstring WithoutTrailingSeparators(std::wstring text) {
  while (text.size() > 3 && (text.back() == L'\\' || text.back() == L'/')) text.pop_back();
  return text;
}

bool IsFile(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

bool SameFolder(const std::wstring& a, const std::wstring& b) {
  const std::wstring left = WithoutTrailingSeparators(a);
  const std::wstring right = WithoutTrailingSeparators(b);
  if (left.empty() || right.empty()) return false;
  return ::CompareStringOrdinal(left.c_str(), static_cast<int>(left.size()), right.c_str(),
                                static_cast<int>(right.size()), TRUE) == CSTR_EQUAL;
}

FolderState ClassifyFolder(const std::wstring& folder, const std::wstring& registeredLocation) {
  const DWORD attributes = ::GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FolderState::kMissing
                                                                          : FolderState::kUnreadable;
  }
  // A file, or a link that may lead anywhere, is never ours to move.
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return FolderState::kForeign;
  }
  const std::wstring base = WithoutTrailingSeparators(folder) + L"\\";
  if (IsFile(base + kInstallMarkerName)) return FolderState::kInstallation;
  if (SameFolder(folder, registeredLocation) && IsFile(base + kLauncherName)) return FolderState::kInstallation;

  WIN32_FIND_DATAW found{};
  UniqueFindHandle find(::FindFirstFileW((base + L"*").c_str(), &found));
  if (!find) return FolderState::kUnreadable;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") return FolderState::kForeign;
  } while (::FindNextFileW(find.Get(), &found));
  return ::GetLastError() == ERROR_NO_MORE_FILES ? FolderState::kEmpty : FolderState::kUnreadable;
}

std::wstring RegisteredInstallLocation() {
  UniqueHkey key;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallSubkey, 0, KEY_READ | KEY_WOW64_32KEY, key.Put()) !=
      ERROR_SUCCESS) {
    return {};
  }
  wchar_t location[MAX_PATH + 1] = {};
  DWORD size = sizeof(location) - sizeof(wchar_t);
  DWORD type = 0;
  if (::RegQueryValueExW(key.Get(), L"InstallLocation", nullptr, &type, reinterpret_cast<BYTE*>(location), &size) !=
          ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ)) {
    return {};
  }
  return WithoutTrailingSeparators(location);
}

bool WriteInstallMarker(const std::wstring& folder, const std::wstring& version) {
  const std::wstring path = WithoutTrailingSeparators(folder) + L"\\" + kInstallMarkerName;
  UniqueFileHandle file(
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  const std::string text = "[Quillon]\r\nVersion=" + WideToUtf8(version) +
                           "\r\n; This folder is an installation of Quillon; its installer may replace it.\r\n";
  DWORD written = 0;
  return ::WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
         written == text.size();
}

FailureCause CauseOfSystemError(uint32_t systemError) noexcept {
  switch (systemError) {
    case ERROR_SUCCESS: return FailureCause::kOther;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
    case ERROR_BUSY:
    case ERROR_DIR_NOT_EMPTY: return FailureCause::kFilesInUse;
    case ERROR_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD:
    case ERROR_WRITE_PROTECT: return FailureCause::kNoPermission;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return FailureCause::kNotEnoughSpace;
    default: return FailureCause::kOther;
  }
}
