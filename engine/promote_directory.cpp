// The directory swap. Its invariant: at every moment at least one complete copy of the application exists,
// either in the install folder or in the backup, and the backup is removed only once the install folder holds
// the new tree.
#include "engine/promote_directory.h"

#include <windows.h>

#include <spdlog/spdlog.h>

#include "app/scope_exit.h"
#include "app/win_path.h"
#include "engine/error_text.h"

namespace {

constexpr int kRetryCount = 3;
constexpr DWORD kRetryDelayMs = 300;

bool IsAccessDenied(const std::error_code& error) {
  return error.value() == ERROR_ACCESS_DENIED && error.category() == std::system_category();
}

// A move that only fails for access denied (a file held open for a moment) is tried three more times.
bool MoveRetryingAccessDenied(const std::wstring& from, const std::wstring& to, std::error_code& error,
                              MoveDirectoryFunction move) {
  if (move(from, to, error)) return true;
  for (int retry = 1; retry <= kRetryCount && IsAccessDenied(error); ++retry) {
    ::Sleep(kRetryDelayMs);
    if (move(from, to, error)) return true;
  }
  return false;
}

void LogBackupRemoval(const std::error_code& error) {
  if (!error) {
    spdlog::info("备份目录清理成功");
  } else {
    spdlog::error("删除备份目录失败: {} (错误码: {})", ErrorText(error), error.value());
  }
}

// Puts the previous installation back when the new tree did not make it into place, and removes the new
// tree so that no half-installed state is left behind.
void RollBack(const InstallPaths& paths, MoveDirectoryFunction move) noexcept {
  try {
    std::error_code error;
    RemoveTree(paths.tempDir, error);
    spdlog::error("安装目录替换失败，已移除临时目录");
    if (PathExists(paths.installPath, error) || !PathExists(paths.backupDir, error)) return;
    if (MoveRetryingAccessDenied(paths.backupDir, paths.installPath, error, move)) {
      spdlog::info("已从备份目录恢复原安装");
    } else {
      spdlog::error("从备份目录恢复原安装失败: {} (错误码: {})", ErrorText(error), error.value());
    }
  } catch (...) {
    // Nothing more can be done here; the backup, if any, stays where it is.
  }
}

}  // namespace

InstallPaths InstallPaths::FromTarget(const std::wstring& targetDir) {
  return {targetDir, targetDir + L"_tmp_installing", targetDir + L"_old_backup"};
}

bool MoveDirectory(const std::wstring& from, const std::wstring& to, std::error_code& error) {
  if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
    error.clear();
    return true;
  }
  error.assign(static_cast<int>(::GetLastError()), std::system_category());
  return false;
}

bool RestoreInterruptedSwap(const InstallPaths& paths, std::error_code& errorSlot, MoveDirectoryFunction move) {
  if (PathExists(paths.installPath, errorSlot) || !PathExists(paths.backupDir, errorSlot)) return true;
  if (MoveRetryingAccessDenied(paths.backupDir, paths.installPath, errorSlot, move)) {
    spdlog::info("发现中断的安装，已从备份目录恢复原安装");
    return true;
  }
  spdlog::error("从备份目录恢复原安装失败: {} (错误码: {})", ErrorText(errorSlot), errorSlot.value());
  return false;
}

bool PromoteDirectory(const InstallPaths& paths, std::error_code& errorSlot, MoveDirectoryFunction move) {
  // Armed until the new tree is in place: an early return or an exception restores the previous state.
  auto rollBack = MakeScopeExit([&paths, move] { RollBack(paths, move); });

  // 1. Stale backup. It is stale only while the install folder holds an installation; without one it is
  //    the only copy of the previous installation and stays (the swap below then uses it as the backup).
  if (PathExists(paths.installPath, errorSlot) && PathExists(paths.backupDir, errorSlot)) {
    RemoveTree(paths.backupDir, errorSlot);
    LogBackupRemoval(errorSlot);
  }

  // 2. Move the previous installation aside.
  if (PathExists(paths.installPath, errorSlot) && !move(paths.installPath, paths.backupDir, errorSlot)) {
    spdlog::error("备份目录失败: {} (错误码: {})", ErrorText(errorSlot), errorSlot.value());
  }

  // 3. The parent of the install folder: the folder text without its trailing separators and last component.
  std::error_code ignored;
  CreateDirectories(ParentPath(WithoutTrailingSeparators(paths.installPath)), ignored);

  // 4. Promote the new tree. Access denied is retried; the retries report GetLastError, not the slot.
  bool promoted = move(paths.tempDir, paths.installPath, errorSlot);
  if (!promoted) {
    spdlog::error("临时目录转正失败: {} (错误码: {})", ErrorText(errorSlot), errorSlot.value());
    if (IsAccessDenied(errorSlot)) {
      for (int retry = 1; retry <= kRetryCount && !promoted; ++retry) {
        ::Sleep(kRetryDelayMs);
        std::error_code retryError;
        promoted = move(paths.tempDir, paths.installPath, retryError);
        if (!promoted) spdlog::error("临时目录转正【重试】失败: {} (错误码: {})", retry, retryError.value());
      }
    }
  }
  if (!promoted) return false;  // the guard puts the previous installation back
  rollBack.Release();

  // 5. Permissions.
  GrantEveryoneModify(paths.installPath);

  // 6. The backup is no longer needed.
  if (PathExists(paths.backupDir, errorSlot)) {
    RemoveTree(paths.backupDir, errorSlot);
    LogBackupRemoval(errorSlot);
  }
  return true;
}
