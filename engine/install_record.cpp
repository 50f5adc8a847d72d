#include "engine/install_record.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/text_encoding.h"

namespace fs = std::filesystem;

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

}  // namespace

InstallRecord RecordTree(const std::wstring& folder) {
  InstallRecord record;
  const fs::path root(folder);
  std::error_code error;
  for (fs::recursive_directory_iterator it(root, error), end; !error && it != end; it.increment(error)) {
    std::wstring relative = it->path().lexically_relative(root).wstring();
    for (wchar_t& c : relative) {
      if (c == L'/') c = L'\\';
    }
    if (it->is_directory(error)) {
      record.folders.push_back(relative);
    } else if (relative != kInstallRecordName) {
      record.files.push_back(relative);
    }
  }
  return record;
}

bool WriteInstallRecord(const std::wstring& folder, const InstallRecord& record) {
  std::string text = std::string(kHeader) + "\r\n";
  for (const std::wstring& path : record.folders) text += WideToUtf8(path) + "\\\r\n";
  for (const std::wstring& path : record.files) text += WideToUtf8(path) + "\r\n";
  std::ofstream out(fs::path(folder) / kInstallRecordName, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  return out.good();
}

std::optional<InstallRecord> ReadInstallRecord(const std::wstring& folder) {
  std::ifstream in(fs::path(folder) / kInstallRecordName, std::ios::binary);
  std::string line;
  if (!in || !std::getline(in, line)) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line != kHeader) return std::nullopt;
  InstallRecord record;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::wstring path = Utf8ToWide(line);
    const bool isFolder = !path.empty() && path.back() == L'\\';
    if (isFolder) path.pop_back();
    if (!StaysInside(path)) continue;
    (isFolder ? record.folders : record.files).push_back(path);
  }
  return record;
}
