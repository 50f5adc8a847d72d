// Swapping a freshly unpacked tree into the install folder through a backup sibling.
#pragma once

#include <string>
#include <system_error>

// The install folder and its two transient siblings, named by appending to the folder text as it was given
// (no separator inserted, nothing normalised).
struct InstallPaths {
  std::wstring installPath;
  std::wstring tempDir;    // target + "_tmp_installing"
  std::wstring backupDir;  // target + "_old_backup"

  static InstallPaths FromTarget(const std::wstring& targetDir);
};

// Renames a directory within its volume. Fills error with the system error value and returns false on
// failure. The promotion takes it as a parameter so that faults the file system of a test machine cannot
// produce (access denied on a held tree) can be handed in.
using MoveDirectoryFunction = bool (*)(const std::wstring& from, const std::wstring& to, std::error_code& error);

// MoveFileExW with MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED; error is GetLastError() in the system
// category.
bool MoveDirectory(const std::wstring& from, const std::wstring& to, std::error_code& error);

// Repairs a swap that an earlier run left half done: when the install folder is missing but the backup
// exists, the backup is the only copy of the previous installation and is moved back. Returns false only
// when such a backup exists and could not be moved back (it is then left where it is).
bool RestoreInterruptedSwap(const InstallPaths& paths, std::error_code& errorSlot, MoveDirectoryFunction move);

// Moves the previous installation (if any) to the backup, moves the temporary tree into the install folder
// (retrying access denied three times, 300 ms apart), grants Everyone modify rights and removes the backup.
// Every file system result lands in errorSlot. Returns true when the install folder holds the new tree.
// When the new tree cannot be moved into place, or an exception leaves this function early, the previous
// installation is moved back from the backup and the temporary tree is removed.
bool PromoteDirectory(const InstallPaths& paths, std::error_code& errorSlot, MoveDirectoryFunction move);

// How long the permissions step may take before it is given up (icacls walks the whole tree).
inline constexpr unsigned long kIcaclsTimeLimitMs = 120000;

// Runs `"<icacls>" "<dir>" /grant Everyone:(OI)(CI)M /T /Q` and waits for it to end, at most timeLimitMs
// (then it is stopped and a warning logged). Whether it succeeded is not reported: without it the tree keeps
// its inherited permissions. The program is started by its full path, never looked up on the search path:
// that search begins in the installer's own folder (typically Downloads) and the current directory, where
// anyone could leave an icacls.exe to be run with administrator rights.
void GrantEveryoneModify(const std::wstring& dir, unsigned long timeLimitMs = kIcaclsTimeLimitMs);

// The icacls the permissions step starts: the system folder's (for this 32-bit process under WOW64 the
// 32-bit system folder), unless a test build has named another. Empty when the system folder is unknown.
[[nodiscard]] std::wstring IcaclsProgram();

// Test builds only: names the program the permissions step starts instead of the system's icacls (a
// recorder, or the end-to-end tests' gate); an empty text restores the system's. The product never calls it.
void SetIcaclsProgramForTests(std::wstring program);
