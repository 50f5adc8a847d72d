#include "engine/install_record.h"

#include <windows.h>

#include "app/text_encoding.h"
#include "app/unique_resource.h"
#include "app/win_path.h"

namespace {

constexpr char kHeader[] = "# Quillon installed files 1";

bool StaysInside(const std::wstring& relative) {
  if (relative.empty() || relative.front() == L'\\' || relative.front() == L'/') return false;
  if (relative.find(L':') != std::wstring::npos) return false;
  size_t start = 0;
  while (start <= relative.size()) {
    size_t end = relative.find_first_of(L"\\/", start);
    if (end == std::wstring::npos) end = relative.size();
    const std::wstring part = relative.substr(start, end - start);
    if (part.empty() || part == L"." || part == L"..") return false;
    start = end + 1;
  }
  return true;
}

// Depth first, each folder before its contents, in the order the file system lists them. Links are recorded
// but not entered.
void RecordFolder(const std::wstring& folder, const std::wstring& relativeFolder, InstallRecord& record) {
  std::vector<FolderEntry> entries;
  std::error_code error;
  if (!ListFolder(folder, entries, error)) return;
  for (const FolderEntry& entry : entries) {
    const std::wstring relative = relativeFolder.empty() ? entry.name : relativeFolder + L"\\" + entry.name;
    if (entry.IsFolder()) {
      record.folders.push_back(relative);
      if (!entry.IsLink()) RecordFolder(JoinPath(folder, entry.name), relative, record);
    } else if (relative != kInstallRecordName) {
      record.files.push_back(relative);
    }
  }
}

}  // namespace

InstallRecord RecordTree(const std::wstring& folder) {
  InstallRecord record;
  RecordFolder(folder, L"", record);
  return record;
}

bool WriteInstallRecord(const std::wstring& folder, const InstallRecord& record) {
  std::string text = std::string(kHeader) + "\r\n";
  for (const std::wstring& path : record.folders) text += WideToUtf8(path) + "\\\r\n";
  for (const std::wstring& path : record.files) text += WideToUtf8(path) + "\r\n";
  // Plain system calls rather than file streams: streams would pull the whole locale machinery into the
  // executable.
  const std::wstring path = JoinPath(folder, kInstallRecordName);
  UniqueFileHandle file(
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return file && ::WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
         written == text.size();
}

std::optional<InstallRecord> ReadInstallRecord(const std::wstring& folder) {
  const std::wstring path = JoinPath(folder, kInstallRecordName);
  UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  std::string text;
  char chunk[16 * 1024];
  DWORD read = 0;
  while (::ReadFile(file.Get(), chunk, sizeof(chunk), &read, nullptr) && read > 0) text.append(chunk, read);
  // The lines, each without its line end; a last line without one counts as well.
  std::vector<std::string> lines;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  if (lines.empty() || lines.front() != kHeader) return std::nullopt;
  InstallRecord record;
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    std::wstring path = Utf8ToWide(line);
    const bool isFolder = !path.empty() && path.back() == L'\\';
    if (isFolder) path.pop_back();
    if (!StaysInside(path)) continue;
    (isFolder ? record.folders : record.files).push_back(path);
  }
  return record;
}
