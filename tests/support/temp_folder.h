// A fresh folder under the temporary folder, removed with everything in it when the test ends.
#pragma once

#include <filesystem>
#include <map>
#include <string>

class TempFolder {
 public:
  explicit TempFolder(const std::wstring& label = L"t");
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder();

  [[nodiscard]] const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Reads a whole file as bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::filesystem::path& path);
// Writes a file, making the folders on its way; returns its path.
std::filesystem::path WriteTestFile(const std::filesystem::path& path, const std::string& bytes = "x");
// Everything below root: relative path ("/" separators, folders ending in "/") → content, "" for folders.
std::map<std::wstring, std::string> TreeSnapshot(const std::filesystem::path& root);
// The folder of the running test executable.
std::filesystem::path TestProgramFolder();
