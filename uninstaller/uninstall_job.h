// The uninstaller's work on one installation, shared by the silent run and the window.
#pragma once

#include <functional>
#include <string>

// Exit codes of unins000.exe (listed in README.md).
enum UninstallExitCode : int {
  kUninstalled = 0,        // removed, or the user chose to keep the application
  kWindowUnusable = 1,     // the window could not be built
  kNotAnInstallation = 2,  // the folder is not an installation of the application: nothing touched
  kFilesInUse = 3,         // installed files could not be deleted; record and entry kept for another run
  kNoRecord = 4,           // made before installations kept a record: links and entry removed, files kept
  kCopyFailed = 5,         // the temporary copy of the uninstaller could not be made or started
  kOtherError = 7,         // the temporary copy ended without a result
};

inline constexpr wchar_t kUninstallerName[] = L"unins000.exe";

// Stops the application in installDir, removes its links, taskbar pins, installed files and uninstall entry.
// The uninstaller's own program in installDir is left for FinishSelfRemoval. progress gets 0..100.
int RunUninstall(const std::wstring& installDir, const std::function<void(int)>& progress);

// After the original uninstaller process has ended: when the installation was removed, its program, then the
// install folder when empty. The temporary copy running this is marked for deletion at the next restart,
// with its folder.
void FinishSelfRemoval(const std::wstring& installDir, bool removed, int result);

// The sentence shown to the user for a result other than kUninstalled.
std::wstring ResultText(int result, const std::wstring& installDir);
