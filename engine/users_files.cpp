#include "engine/users_files.h"

#include <windows.h>

#include <spdlog/spdlog.h>

#include <optional>
#include <unordered_set>

#include "app/text_encoding.h"
#include "app/unique_resource.h"
#include "engine/folder_ownership.h"
#include "engine/install_record.h"

namespace {

std::wstring Join(const std::wstring& root, const std::wstring& relative) {
  std::wstring joined = root;
  while (!joined.empty() && (joined.back() == L'\\' || joined.back() == L'/')) joined.pop_back();
  if (!relative.empty()) joined += L"\\" + relative;
  return joined;
}

// File names compare as the file system compares them: without regard to case.
std::wstring CaseFolded(const std::wstring& text) {
  if (text.empty()) return text;
  std::wstring folded(text.size(), L'\0');
  const int length = ::LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, text.c_str(), static_cast<int>(text.size()),
                                    folded.data(), static_cast<int>(folded.size()));
  return length == static_cast<int>(text.size()) ? folded : text;
}

std::error_code LastError() { return {static_cast<int>(::GetLastError()), std::system_category()}; }

std::wstring ParentOf(const std::wstring& relative) {
  const size_t separator = relative.find_last_of(L'\\');
  return separator == std::wstring::npos ? std::wstring() : relative.substr(0, separator);
}

}  // namespace

bool FindUsersEntries(const std::wstring& installation, UsersEntries& found, std::error_code& error) {
  found = {};
  error.clear();
  const std::optional<InstallRecord> record = ReadInstallRecord(installation);
  if (!record) return true;
  found.recorded = true;

  std::unordered_set<std::wstring> installedFiles;
  std::unordered_set<std::wstring> installedFolders;
  for (const std::wstring& file : record->files) installedFiles.insert(CaseFolded(file));
  for (const std::wstring& folder : record->folders) installedFolders.insert(CaseFolded(folder));
  // The record never lists itself; the new tree carries its own.
  installedFiles.insert(CaseFolded(kInstallRecordName));
  installedFiles.insert(CaseFolded(kInstallMarkerName));

  // Depth first; a folder's entry is added when its parent is listed, its contents when it is listed itself.
  std::vector<std::wstring> pending = {L""};
  while (!pending.empty()) {
    const std::wstring folder = std::move(pending.back());
    pending.pop_back();
    WIN32_FIND_DATAW data{};
    UniqueFindHandle find(::FindFirstFileW(Join(Join(installation, folder), L"*").c_str(), &data));
    if (!find) {
      if (::GetLastError() == ERROR_FILE_NOT_FOUND) continue;  // nothing at all, not even "."
      error = LastError();
      return false;
    }
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring relative = folder.empty() ? name : folder + L"\\" + name;
      const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      const bool isLink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
      const bool installed = (isFolder ? installedFolders : installedFiles).count(CaseFolded(relative)) != 0;
      if (isFolder && !isLink) pending.push_back(relative);  // installed folders may hold the user's files
      if (installed) continue;
      UsersEntry entry{relative, isFolder, isLink, 0};
      if (!isFolder && !isLink) {
        entry.bytes = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        found.bytes += entry.bytes;
      }
      found.entries.push_back(std::move(entry));
    } while (::FindNextFileW(find.Get(), &data));
    if (::GetLastError() != ERROR_NO_MORE_FILES) {
      error = LastError();
      return false;
    }
  }
  return true;
}

bool CarryUsersEntries(const std::wstring& installation, const UsersEntries& found, const std::wstring& newTree,
                       std::error_code& error) {
  error.clear();
  size_t files = 0;
  size_t folders = 0;
  for (const UsersEntry& entry : found.entries) {
    const std::string name = WideToUtf8(entry.relative);
    if (entry.link) {
      spdlog::warn("未保留原安装中的链接: {}", name);
      continue;
    }
    // The folders on the way: the new tree's, or created for the entry (an installed folder the new
    // version no longer has still holds the user's files). A file of the new tree in the way wins.
    bool blocked = false;
    const std::wstring parent = ParentOf(entry.relative);
    for (size_t end = 0; !parent.empty() && !blocked && end != std::wstring::npos;) {
      end = parent.find(L'\\', end + 1);
      const std::wstring step = Join(newTree, parent.substr(0, end));
      const DWORD attributes = ::GetFileAttributesW(step.c_str());
      if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (!::CreateDirectoryW(step.c_str(), nullptr)) {
          error = LastError();
          return false;
        }
      } else {
        blocked = (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
      }
    }
    const std::wstring to = Join(newTree, entry.relative);
    const DWORD existing = blocked ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(to.c_str());
    if (existing != INVALID_FILE_ATTRIBUTES && entry.folder && (existing & FILE_ATTRIBUTE_DIRECTORY)) continue;
    if (blocked || existing != INVALID_FILE_ATTRIBUTES) {
      spdlog::info("新版本有同名文件，未保留原安装中的: {}", name);
      continue;
    }
    const bool done = entry.folder ? ::CreateDirectoryW(to.c_str(), nullptr)
                                   : ::CopyFileW(Join(installation, entry.relative).c_str(), to.c_str(), TRUE);
    if (!done) {
      error = LastError();
      spdlog::error("保留用户文件失败: {}", name);
      return false;
    }
    ++(entry.folder ? folders : files);
  }
  if (!found.entries.empty()) {
    spdlog::info("保留了原安装中不属于安装包的 {} 个文件和 {} 个文件夹", files, folders);
  }
  return true;
}
