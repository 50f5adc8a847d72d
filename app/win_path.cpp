#include "app/win_path.h"

#include <algorithm>

#include "app/unique_resource.h"

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The root: a drive ("C:"), then the separators that follow it. A server name ("\\server") is not told
// apart from a folder name, as the C++ library's paths on this platform do not either.
size_t RootNameLength(const std::wstring& path) { return path.size() >= 2 && path[1] == L':' ? 2 : 0; }

size_t RootLength(const std::wstring& path) {
  size_t length = RootNameLength(path);
  while (length < path.size() && IsSeparator(path[length])) ++length;
  return length;
}

std::error_code LastError() { return {static_cast<int>(::GetLastError()), std::system_category()}; }

// The answers of the system for a path where nothing is, whichever part of it is missing.
bool IsNotFound(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_FILENAME_EXCED_RANGE: return true;
    default: return false;
  }
}

}  // namespace

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
  if (folder.empty() || IsSeparator(folder.back()) || (folder.size() == 2 && folder[1] == L':')) return folder + name;
  return folder + L'\\' + name;
}

std::wstring ParentPath(const std::wstring& path) {
  const size_t root = RootLength(path);
  if (root == path.size()) return path;
  // The last component goes (after a trailing separator, the empty one), then the separators before it.
  size_t end = path.size();
  while (end > root && !IsSeparator(path[end - 1])) --end;
  while (end > root && IsSeparator(path[end - 1])) --end;
  // Down to the root, the parent keeps one separator of it ("\\server" -> "\").
  if (end == root) end = std::min(root, RootNameLength(path) + 1);
  return path.substr(0, end);
}

std::wstring FileName(const std::wstring& path) {
  const size_t root = RootLength(path);
  size_t start = path.size();
  while (start > root && !IsSeparator(path[start - 1])) --start;
  return path.substr(start);
}

std::wstring WithoutTrailingSeparators(const std::wstring& path) {
  const size_t root = RootLength(path);
  size_t end = path.size();
  while (end > root && IsSeparator(path[end - 1])) --end;
  return path.substr(0, end);
}

bool HasRelativePart(const std::wstring& path) { return RootLength(path) < path.size(); }

bool PathExists(const std::wstring& path, std::error_code& error) {
  error.clear();
  if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  const DWORD code = ::GetLastError();
  if (!IsNotFound(code)) error.assign(static_cast<int>(code), std::system_category());
  return false;
}

bool IsDirectory(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsFile(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool CreateDirectories(const std::wstring& path, std::error_code& error) {
  error.clear();
  if (path.empty()) {
    error.assign(ERROR_PATH_NOT_FOUND, std::system_category());
    return false;
  }
  // From path upwards, the folders that are missing; then created from the top down.
  std::vector<std::wstring> missing;
  for (std::wstring step = WithoutTrailingSeparators(path);; step = ParentPath(step)) {
    const DWORD attributes = ::GetFileAttributesW(step.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
      if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        error.assign(ERROR_ALREADY_EXISTS, std::system_category());  // a file where a folder is wanted
        return false;
      }
      break;
    }
    if (!IsNotFound(::GetLastError())) {
      error = LastError();
      return false;
    }
    missing.push_back(step);
    if (!HasRelativePart(step) || ParentPath(step).empty()) break;
  }
  for (auto folder = missing.rbegin(); folder != missing.rend(); ++folder) {
    if (::CreateDirectoryW(folder->c_str(), nullptr)) continue;
    const DWORD code = ::GetLastError();
    if (code == ERROR_ALREADY_EXISTS && IsDirectory(*folder)) continue;  // made by someone else meanwhile
    error.assign(static_cast<int>(code), std::system_category());
    return false;
  }
  return !missing.empty();
}

bool RemoveTree(const std::wstring& path, std::error_code& error) {
  error.clear();
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD code = ::GetLastError();
    if (IsNotFound(code)) return true;
    error.assign(static_cast<int>(code), std::system_category());
    return false;
  }
  const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (folder && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    std::vector<FolderEntry> entries;
    if (!ListFolder(path, entries, error)) return false;
    for (const FolderEntry& entry : entries) {
      if (!RemoveTree(JoinPath(path, entry.name), error)) return false;
    }
  }
  // A junction or directory link goes with RemoveDirectoryW, which leaves its target alone.
  if (folder ? ::RemoveDirectoryW(path.c_str()) : ::DeleteFileW(path.c_str())) return true;
  error = LastError();
  return false;
}

bool ListFolder(const std::wstring& folder, std::vector<FolderEntry>& entries, std::error_code& error) {
  entries.clear();
  error.clear();
  WIN32_FIND_DATAW data{};
  UniqueFindHandle find(::FindFirstFileExW(JoinPath(folder, L"*").c_str(), FindExInfoBasic, &data,
                                           FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
  if (!find) {
    if (::GetLastError() == ERROR_FILE_NOT_FOUND) return true;  // nothing at all, not even "."
    error = LastError();
    return false;
  }
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    entries.push_back(
        {name, data.dwFileAttributes, (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow});
  } while (::FindNextFileW(find.Get(), &data));
  if (::GetLastError() == ERROR_NO_MORE_FILES) return true;
  error = LastError();
  return false;
}
