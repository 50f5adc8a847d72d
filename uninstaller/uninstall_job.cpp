#include "uninstaller/uninstall_job.h"

#include <windows.h>

#include <spdlog/spdlog.h>

#include "app/system_info.h"
#include "app/text_encoding.h"
#include "engine/folder_ownership.h"
#include "engine/install_record.h"
#include "engine/kill_running_app.h"
#include "engine/uninstall.h"

int RunUninstall(const std::wstring& installDir, const std::function<void(int)>& progress) {
  spdlog::info("RunUninstall {}", WideToUtf8(installDir));
  KillRunningApp({installDir});
  if (progress) progress(5);

  const std::optional<InstallRecord> record = ReadInstallRecord(installDir);
  RemoveShortcuts();
  const int unpinned = UnpinTaskbar(installDir);
  spdlog::info("RunUninstall links removed, taskbar pins removed: {}", unpinned);
  if (progress) progress(10);

  if (!record) {
    // Without a record nothing tells the installed files from the user's: no file is deleted.
    spdlog::warn("RunUninstall no record of installed files in {}: files kept", WideToUtf8(installDir));
    RemoveUninstallEntry(installDir);
    if (progress) progress(100);
    return kNoRecord;
  }

  const RemovalOutcome outcome = RemoveRecordedFiles(installDir, *record, kUninstallerName, [&](int done, int total) {
    if (progress && total > 0) progress(10 + done * 85 / total);
  });
  spdlog::info("RunUninstall files removed: {}, in use: {}, folders kept: {}", outcome.removedFiles,
               outcome.filesInUse.size(), outcome.keptFolders.size());
  for (const std::wstring& folder : outcome.keptFolders) {
    spdlog::info("RunUninstall kept folder (not empty) {}", WideToUtf8(folder));
  }
  if (!outcome.filesInUse.empty()) {
    // The entry stays so that the uninstaller can be run again once the files are free.
    if (progress) progress(100);
    return kFilesInUse;
  }
  RemoveUninstallEntry(installDir);
  if (progress) progress(100);
  return kUninstalled;
}

void FinishSelfRemoval(const std::wstring& installDir, bool removed, int result) {
  if (removed && result == kUninstalled) {
    const std::wstring original = installDir + L"\\" + kUninstallerName;
    if (!::DeleteFileW(original.c_str())) {
      spdlog::warn("FinishSelfRemoval cannot delete {} err:{}", WideToUtf8(original), ::GetLastError());
    }
    ::RemoveDirectoryW(installDir.c_str());  // only when empty: the user's files keep it
  }
  // The running copy cannot delete itself; the system does it at the next restart. No helper is started to
  // delete it later, so nothing outlives this process.
  const std::wstring self = GetExeDirectory() + L"\\" + GetExeFileName();
  if (!::MoveFileExW(self.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) ||
      !::MoveFileExW(GetExeDirectory().c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
    spdlog::warn("FinishSelfRemoval cannot schedule the temporary copy's removal err:{}", ::GetLastError());
  }
  spdlog::info("uninstall finished: exit code {}", result);
}

std::wstring ResultText(int result, const std::wstring& installDir) {
  switch (result) {
    case kNotAnInstallation: return L"未找到 Quillon 的安装，没有删除任何文件。";
    case kFilesInUse: return L"部分文件正在被其他程序使用，未能删除。请关闭相关程序后再次卸载。";
    case kNoRecord:
      return L"未找到安装记录：已删除快捷方式和卸载信息，程序文件仍保留在 " + installDir + L"，请手动删除。";
    case kCopyFailed: return L"无法启动卸载程序的临时副本，没有删除任何文件。";
    default: return L"卸载失败，请查看日志。";
  }
}
