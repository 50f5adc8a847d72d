// Path texts and folder operations through the system's own calls, in UTF-16. Either slash separates; a
// path keeps the form it was given (nothing is normalised, no long-path prefix is added). Failures are
// GetLastError values in the system category.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <system_error>
#include <vector>

// name after folder, with one backslash between them unless folder is empty, ends in a separator or is a bare
// drive ("C:"). name is meant to be relative.
[[nodiscard]] std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);

// The path without its last component and the separators before it ("C:\a\b" -> "C:\a", "C:\a" -> "C:\").
// A trailing separator ends an empty last component ("C:\a\" -> "C:\a"). A root alone ("C:\", "C:", "\")
// is its own parent; a single relative name has an empty one.
[[nodiscard]] std::wstring ParentPath(const std::wstring& path);

// The last component; empty when the path ends in a separator or is a root alone.
[[nodiscard]] std::wstring FileName(const std::wstring& path);

// The path without trailing separators, never shortened into its root ("C:\a\\" -> "C:\a", "C:\" stays).
[[nodiscard]] std::wstring WithoutTrailingSeparators(const std::wstring& path);

// True when something follows the root ("C:\a", "a"); false for "", "C:", "C:\", "\".
[[nodiscard]] bool HasRelativePart(const std::wstring& path);

// Whether anything is at path. When that cannot be told (other than "not found"), returns false and sets
// error; otherwise clears it.
[[nodiscard]] bool PathExists(const std::wstring& path, std::error_code& error);
[[nodiscard]] bool IsDirectory(const std::wstring& path);
// Something that is there and is not a directory.
[[nodiscard]] bool IsFile(const std::wstring& path);

// Creates path and whichever of its parents are missing. Returns true when it created path itself; false
// when path was already a directory (error clear) or on failure (error set, also when a file is in the way).
bool CreateDirectories(const std::wstring& path, std::error_code& error);

// Deletes path with everything below it; nothing there is success. Links and junctions are removed
// themselves, never followed. Read-only files are not touched and fail the removal. Stops at the first
// failure, which lands in error.
bool RemoveTree(const std::wstring& path, std::error_code& error);

// One entry of a folder, as the folder listing reports it.
struct FolderEntry {
  std::wstring name;
  DWORD attributes = 0;
  uint64_t bytes = 0;

  [[nodiscard]] bool IsFolder() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
  [[nodiscard]] bool IsLink() const { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
};

// The entries of folder but "." and "..", in the order the file system lists them. False with error set
// when the folder cannot be listed.
bool ListFolder(const std::wstring& folder, std::vector<FolderEntry>& entries, std::error_code& error);
