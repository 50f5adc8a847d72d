// Why an installation failed, as the worker reports it to the window and the process reports it to whoever
// started it (its exit code).
#pragma once

#include <cstdint>
#include <string>

// The failure classes. Each has its own process exit code (README lists them); the window words each one
// for the user.
enum class FailureCause : int {
  kNone = 0,
  kNotEnoughSpace = 1,    // the target's volume cannot hold the new tree beside the old one
  kFilesInUse = 2,        // a file or folder of the installation is held by another program
  kDamagedInstaller = 3,  // the payload is missing, unreadable or damaged
  kFolderNotUsable = 4,   // the folder (or a sibling the swap needs) is not ours, or its text is not usable
  kNoPermission = 5,      // the system refused access
  kOther = 6,             // anything else, with its system error code
};

// The process exit codes: 0 after success (or when the user quits before installing), 1 when the window
// cannot be built, and one code per failure class from 2 on.
inline constexpr int kExitSkinUnusable = 1;
[[nodiscard]] constexpr int ExitCodeFor(FailureCause cause) noexcept {
  return cause == FailureCause::kNone ? 0 : 1 + static_cast<int>(cause);
}

// What the worker's WM_INSTALL_FAILED carries (a new InstallFailure* in lParam, deleted by the receiver).
struct InstallFailure {
  FailureCause cause = FailureCause::kOther;
  uint32_t systemError = 0;     // the system error value behind the failure, 0 when there is none
  uint64_t requiredBytes = 0;   // kNotEnoughSpace: what the installation needs on the target's volume
  uint64_t availableBytes = 0;  // kNotEnoughSpace: what was free there
  std::wstring path;            // the folder or file concerned, empty when none
};

// Sorts a system error value into a failure class: sharing and lock violations are files in use, access
// denied is no permission, a full disk is not enough space; everything else is kOther.
[[nodiscard]] FailureCause CauseOfSystemError(uint32_t systemError) noexcept;
