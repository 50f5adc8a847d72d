// One installation, start to end, on the worker thread: check the folder and the room for it, stop the
// application, unpack, record, carry the user's files over, promote, grant, register, link, and exactly one
// result message.
//
// What the worker may touch: the install folder and its two siblings only when each is missing, empty or
// an installation of this application; parent folders only those it created itself, and those go again when
// the installation fails. The uninstall entry and the links are written only after a successful
// installation, so a failed first installation leaves nothing behind.
#include "engine/install_worker.h"

#include <windows.h>

#include <spdlog/spdlog.h>

#include <exception>
#include <memory>
#include <system_error>
#include <vector>

#include "app/system_info.h"
#include "app/text_encoding.h"
#include "app/win_path.h"
#include "engine/disk_space.h"
#include "engine/error_text.h"
#include "engine/folder_ownership.h"
#include "engine/install_folder.h"
#include "engine/install_record.h"
#include "engine/kill_running_app.h"
#include "engine/users_files.h"

namespace {

// The worker's exception guard. The exception's own text says less than the file system error that led to
// it, so the line carries the error slot.
void LogFault(const std::error_code& errorSlot) noexcept {
  try {
    spdlog::error("错误: {} (错误码: {})", ErrorText(errorSlot), errorSlot.value());
  } catch (...) {
    // The log itself failed; the result message still reports the failure.
  }
}

template <typename Step>
[[nodiscard]] bool RunGuarded(const std::error_code& errorSlot, Step&& step) noexcept {
  try {
    step();
    return true;
  } catch (const std::exception&) {
    LogFault(errorSlot);
  } catch (...) {
    LogFault(errorSlot);
  }
  return false;
}

std::error_code LastError() { return {static_cast<int>(::GetLastError()), std::system_category()}; }

// Where the previous installation is before the swap: the install folder, or (after an interrupted swap,
// which the worker repairs before unpacking) the backup.
const std::wstring& PreviousInstallation(const InstallPaths& paths) {
  std::error_code error;
  return PathExists(paths.installPath, error) ? paths.installPath : paths.backupDir;
}

// The worker's verdict on the install folder and its siblings before anything is touched.
class FolderGuard {
 public:
  FolderGuard(const InstallPaths& paths, std::wstring registered) : paths_(paths), registered_(std::move(registered)) {}

  // The install folder: missing, empty, or an installation of ours.
  [[nodiscard]] bool InstallFolderUsable() const {
    const FolderState state = ClassifyFolder(paths_.installPath, registered_);
    return state == FolderState::kMissing || state == FolderState::kEmpty || state == FolderState::kInstallation;
  }

  // The backup sibling holds a previous installation (the swap moves one there), or nothing.
  [[nodiscard]] bool BackupUsable() const { return SiblingUsable(paths_.backupDir); }

  // The temporary sibling is one this worker made (it carries the marker from its creation on); a tree
  // left by an installer from before the marker is recognised by the launcher beside a registered folder.
  [[nodiscard]] bool TempUsable() const { return SiblingUsable(paths_.tempDir); }

 private:
  bool SiblingUsable(const std::wstring& sibling) const {
    const FolderState state = ClassifyFolder(sibling, L"");
    if (state == FolderState::kMissing || state == FolderState::kEmpty || state == FolderState::kInstallation) {
      return true;
    }
    return state == FolderState::kForeign && SameFolder(paths_.installPath, registered_) &&
           IsFile(JoinPath(sibling, kLauncherName));
  }

  const InstallPaths& paths_;
  std::wstring registered_;
};

// Parent folders that did not exist before the run, from the install folder's parent up to the highest one
// that was missing; removed again (when empty) after a failure.
std::vector<std::wstring> MissingParents(const std::wstring& installPath) {
  std::vector<std::wstring> missing;
  std::error_code error;
  for (std::wstring parent = ParentPath(installPath); HasRelativePart(parent) && !PathExists(parent, error);
       parent = ParentPath(parent)) {
    if (error) break;
    missing.push_back(parent);
  }
  return missing;
}

void RemoveCreatedParents(const std::vector<std::wstring>& created) {
  for (const std::wstring& folder : created) {
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) continue;
    // Only the empty folder this run made goes; a file, a link or anything inside means someone else's.
    const bool plainFolder =
        (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
    if (!plainFolder || !::RemoveDirectoryW(folder.c_str())) break;
  }
}

// Collects the one failure of a run and writes its log line.
class FailureReport {
 public:
  [[nodiscard]] bool Failed() const { return failure_->cause != FailureCause::kNone; }

  void Set(FailureCause cause, const char* step, uint32_t systemError, const std::wstring& path) {
    if (Failed()) return;  // the first failure is the cause; later ones follow from it
    failure_->cause = cause;
    failure_->systemError = systemError;
    failure_->path = path;
    const std::error_code error(static_cast<int>(systemError), std::system_category());
    spdlog::error("安装失败，{}：{} (错误码: {}) {}", step, systemError != 0 ? ErrorText(error) : "", systemError,
                  WideToUtf8(path));
  }

  void SetFromError(const char* step, const std::error_code& error, const std::wstring& path) {
    const auto value = static_cast<uint32_t>(error.value());
    Set(value != 0 ? CauseOfSystemError(value) : FailureCause::kOther, step, value, path);
  }

  void SetSpace(uint64_t required, uint64_t available, const std::wstring& path) {
    if (Failed()) return;
    failure_->requiredBytes = required;
    failure_->availableBytes = available;
    Set(FailureCause::kNotEnoughSpace, "检查磁盘空间", ERROR_DISK_FULL, path);
    spdlog::error("磁盘空间不足：需要 {} 字节，可用 {} 字节", required, available);
  }

  void SetExtraction(const ExtractFailure& extract) {
    if (Failed()) return;
    failure_->cause = extract.cause == FailureCause::kNone ? FailureCause::kOther : extract.cause;
    failure_->systemError = static_cast<uint32_t>(extract.errnoValue);
    failure_->path = extract.entry;
    spdlog::error("安装失败，解压：{} (errno: {}) 条目: \"{}\"", extract.libraryError, extract.errnoValue,
                  WideToUtf8(extract.entry));
  }

  void PostTo(HWND window) {
    const WPARAM cause = static_cast<WPARAM>(failure_->cause);
    InstallFailure* details = failure_.release();
    if (!::PostMessageW(window, WM_INSTALL_FAILED, cause, reinterpret_cast<LPARAM>(details))) delete details;
  }

 private:
  std::unique_ptr<InstallFailure> failure_ =
      std::make_unique<InstallFailure>(InstallFailure{FailureCause::kNone, 0, 0, 0, {}});
};

}  // namespace

void RunInstallWorker(const InstallEngine& engine, uint16_t resourceId, const std::wstring& targetDir,
                      MoveDirectoryFunction move) noexcept {
  std::error_code errorSlot;
  FailureReport report;
  auto run = [&](const char* step, auto&& body) {
    if (!RunGuarded(errorSlot, body)) report.SetFromError(step, errorSlot, targetDir);
  };

  InstallPaths paths;
  std::wstring registered;
  std::vector<std::wstring> createdParents;
  ResourceBytes payload;

  // 1. Before anything is touched: the folder text, whose folders these are, the payload, and room for it.
  run("检查安装目录", [&] {
    const FolderCheck check = CheckInstallFolder(targetDir);
    if (check.problem != FolderProblem::kNone || check.folder != targetDir) {
      report.Set(FailureCause::kFolderNotUsable, "检查安装目录", 0, targetDir);
      spdlog::error("安装路径不可用：{}", DescribeFolderProblem(check.problem));
      return;
    }
    paths = InstallPaths::FromTarget(targetDir);
    registered = RegisteredInstallLocation();
    const FolderGuard guard(paths, registered);
    if (!guard.InstallFolderUsable()) {
      report.Set(FailureCause::kFolderNotUsable, "检查安装目录", 0, paths.installPath);
      spdlog::error("目标文件夹不是空文件夹，也不是 Quillon 的安装目录，未做任何改动");
    } else if (!guard.BackupUsable()) {
      report.Set(FailureCause::kFolderNotUsable, "检查备份目录", 0, paths.backupDir);
    } else if (!guard.TempUsable()) {
      report.Set(FailureCause::kFolderNotUsable, "检查临时目录", 0, paths.tempDir);
    }
  });
  if (!report.Failed()) {
    // The payload stays mapped with the module for the life of the process; nothing is freed.
    payload = FindOwnResource(RT_RCDATA, resourceId);
    if (!payload.data || payload.size == 0) report.Set(FailureCause::kDamagedInstaller, "读取安装包", 0, L"");
  }
  if (!report.Failed()) {
    run("检查磁盘空间", [&] {
      const std::optional<uint64_t> unpacked = PayloadUnpackedSize(payload.data, payload.size);
      if (!unpacked) {
        report.Set(FailureCause::kDamagedInstaller, "读取安装包", 0, L"");
        return;
      }
      // The user's files in the previous installation are copied into the new tree (see step 5), so
      // they need room beside the old tree as well.
      const std::wstring& previous = PreviousInstallation(paths);
      UsersEntries users;
      std::error_code error;
      if (!FindUsersEntries(previous, users, error)) {
        report.SetFromError("读取原安装中的用户文件", error, previous);
        return;
      }
      const uint64_t required = RequiredSpace(*unpacked + users.bytes);
      const std::optional<uint64_t> available = FreeSpaceFor(paths.installPath);
      if (!available) {
        spdlog::warn("无法获取磁盘剩余空间，跳过空间检查");
      } else if (*available < required) {
        report.SetSpace(required, *available, paths.installPath);
      }
    });
  }
  if (report.Failed()) {
    report.PostTo(engine.notifyWindow);
    return;
  }

  // 2. Stop running copies of the application: those of the folder being replaced and of the earlier
  //    installation, whose uninstall entry this one takes over. Same-named programs elsewhere are not ours.
  run("结束相关进程", [&] {
    std::vector<std::wstring> folders = {paths.installPath};
    if (!registered.empty()) folders.push_back(registered);
    KillRunningApp(folders);
  });

  // 3. An earlier run that stopped between moving the old tree aside and promoting the new one left the
  //    previous installation only in the backup: it goes back first.
  run("恢复中断的安装", [&] {
    createdParents = MissingParents(paths.installPath);
    if (!RestoreInterruptedSwap(paths, errorSlot, move)) {
      report.SetFromError("恢复中断的安装", errorSlot, paths.backupDir);
    }
  });

  // 4. Unpack into a fresh temporary folder that carries the marker from its creation on. A stale one goes
  //    first; when it cannot, nothing is unpacked on top of its files.
  bool extracted = false;
  if (!report.Failed()) {
    run("准备临时目录", [&] {
      std::error_code error;
      if (PathExists(paths.tempDir, error)) RemoveTree(paths.tempDir, error);
      if (!error) CreateDirectories(paths.tempDir, error);
      if (error) {
        report.SetFromError("准备临时目录", error, paths.tempDir);
        return;
      }
      if (!WriteInstallMarker(paths.tempDir, GetProductVersion())) {
        report.SetFromError("准备临时目录", LastError(), paths.tempDir);
        return;
      }
      ExtractFailure extractFailure;
      extracted = engine.ExtractPayload(payload.data, payload.size, paths.tempDir, &extractFailure);
      if (!extracted) {
        report.SetExtraction(extractFailure);
        return;
      }
      // What this installation installed: the payload's files and folders and the marker, nothing else.
      // The uninstaller removes exactly these, and the next upgrade keeps everything else.
      ::SetLastError(ERROR_SUCCESS);
      if (!WriteInstallRecord(paths.tempDir, RecordTree(paths.tempDir))) {
        report.SetFromError("写入安装记录", LastError(), JoinPath(paths.tempDir, kInstallRecordName));
      }
    });
  }

  // 5. Upgrades keep what the user added: every file and folder of the previous installation that its
  //    record does not list goes into the new tree, unless the new tree has one of that name. The files
  //    are copied, not moved: until the swap commits, the previous installation stays complete, so a
  //    failure here or later (or a crash, after which the next run deletes the stale temporary tree) loses
  //    nothing. The copies' room was counted in step 1. An installation without a record (made before the
  //    record existed) cannot tell the user's files from its own: nothing is carried, as before.
  if (extracted && !report.Failed()) {
    run("保留用户文件", [&] {
      UsersEntries users;
      std::error_code error;
      const std::wstring& previous = paths.installPath;
      if (!FindUsersEntries(previous, users, error) || !CarryUsersEntries(previous, users, paths.tempDir, error)) {
        report.SetFromError("保留用户文件", error, previous);
      } else if (!users.recorded && ClassifyFolder(previous, registered) == FolderState::kInstallation) {
        spdlog::info("原安装没有安装记录，不保留其中的其他文件");
      }
    });
  }

  // 6. Swap the new tree into place and grant permissions.
  bool promoted = false;
  if (extracted && !report.Failed()) {
    run("替换安装目录", [&] {
      promoted = PromoteDirectory(paths, errorSlot, move);
      if (promoted) return;
      // A folder that stays locked against renaming is almost always a file held open inside it.
      const bool denied = errorSlot.value() == ERROR_ACCESS_DENIED;
      if (denied) {
        report.Set(FailureCause::kFilesInUse, "替换安装目录", ERROR_ACCESS_DENIED, paths.installPath);
      } else {
        report.SetFromError("替换安装目录", errorSlot, paths.installPath);
      }
    });
  }

  if (promoted && !report.Failed()) {
    // 7. Registration and links describe the installation that is now in place.
    run("写入卸载信息", [&] { engine.WriteUninstallEntry(); });
    run("创建快捷方式", [&] { engine.CreateShortcuts(); });
  } else {
    // 8. Nothing half-done stays: the new tree goes (the swap has already put the old one back), and so do
    //    the parent folders this run created.
    if (!report.Failed()) report.Set(FailureCause::kOther, "安装", 0, targetDir);
    std::error_code error;
    if (!paths.tempDir.empty() && PathExists(paths.tempDir, error)) {
      RemoveTree(paths.tempDir, error);
      if (error) {
        spdlog::error("删除临时目录失败: {} (错误码: {}) {}", ErrorText(error), error.value(),
                      WideToUtf8(paths.tempDir));
      }
    }
    try {
      RemoveCreatedParents(createdParents);
    } catch (...) {
      // Empty folders are all that can be left; the failure is reported either way.
    }
  }

  // 9. Exactly one result message.
  if (report.Failed()) {
    report.PostTo(engine.notifyWindow);
  } else {
    ::PostMessageW(engine.notifyWindow, WM_INSTALL_SUCCEEDED, 0, 0);
  }
}

// The worker thread runs on its own copy of the folder text, whatever happens to the caller's.
// NOLINTNEXTLINE(performance-unnecessary-value-param)
void InstallEngine::Install(uint16_t resourceId, std::wstring targetDir) const noexcept {
  RunInstallWorker(*this, resourceId, targetDir, &MoveDirectory);
}
