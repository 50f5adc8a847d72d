// The record of what an installation installed: every file and folder the installer put into the install
// folder, kept inside the installation. The uninstaller removes exactly these, and an upgrade tells the
// user's own files (not in the record) from the installed ones.
#pragma once

#include <optional>
#include <string>
#include <vector>

inline constexpr wchar_t kInstallRecordName[] = L"quillon_installed_files.txt";

struct InstallRecord {
  // Paths relative to the install folder, "\" separators, no leading or trailing separator.
  std::vector<std::wstring> files;
  std::vector<std::wstring> folders;  // parents before their contents
};

// Everything below folder as it is now (the record file itself excluded, the marker included).
[[nodiscard]] InstallRecord RecordTree(const std::wstring& folder);

// Writes the record as UTF-8 text into folder: a header line, then one path per line, folders ending in "\".
[[nodiscard]] bool WriteInstallRecord(const std::wstring& folder, const InstallRecord& record);

// The record of the installation in folder; null when there is none or it is not a record of ours. Paths
// that would leave the folder (absolute, with a drive, with "..") are dropped.
[[nodiscard]] std::optional<InstallRecord> ReadInstallRecord(const std::wstring& folder);
