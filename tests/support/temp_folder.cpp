#include "tests/support/temp_folder.h"

#include <windows.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <system_error>

TempFolder::TempFolder(const std::wstring& label) {
  static std::atomic<unsigned> counter{0};
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring name =
      L"qt-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(counter.fetch_add(1)) + L"-" + label;
  path_ = std::filesystem::path(temp) / name;
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
  std::filesystem::create_directories(path_, ignored);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::filesystem::path WriteTestFile(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

std::map<std::wstring, std::string> TreeSnapshot(const std::filesystem::path& root) {
  std::map<std::wstring, std::string> tree;
  for (const auto& item : std::filesystem::recursive_directory_iterator(root)) {
    const std::wstring relative = item.path().lexically_relative(root).generic_wstring();
    if (item.is_directory()) {
      tree[relative + L"/"] = "";
    } else {
      tree[relative] = ReadFileBytes(item.path());
    }
  }
  return tree;
}

std::filesystem::path TestProgramFolder() {
  wchar_t buffer[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  return std::filesystem::path(buffer).parent_path();
}
