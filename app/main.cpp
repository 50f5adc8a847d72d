// QuillonSetup.exe: the installer's entry point. A second start hands focus to the running installer; a
// normal start that finds the application's upgrade marker hands over to a copy of itself in upgrade mode;
// "/S" installs silently without a window; otherwise the toolkit reads the skin from the executable's
// resource and the main window runs until it is destroyed, and its outcome is the exit code.
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <spdlog/spdlog.h>

#include <cwchar>
#include <string>

#include "app/command_line.h"
#include "app/crash_handler.h"
#include "app/logger.h"
#include "app/single_instance.h"
#include "app/system_info.h"
#include "app/upgrade_handover.h"
#include "ui/main_wnd.h"
#include "ui/silent_install.h"
#include "veneer/paint_manager.h"

namespace {

constexpr WORD kSkinResourceId = 109;

// Points the toolkit at the skin resource where it lies in this executable's image, mapped as long as the
// process runs. Nothing is written to disk and read back, where another program could swap the skin of
// this elevated process. Without the resource the toolkit has no archive and the window cannot be built.
void UseSkinResource() {
  const ResourceBytes skin = FindOwnResource(L"ZIP", kSkinResourceId);
  if (skin.data == nullptr || skin.size == 0) return;
  Veneer::CPaintManagerUI::SetResourcePath(L"");
  Veneer::CPaintManagerUI::SetResourceZip(skin.data, skin.size);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR commandLineText, int /*showCommand*/) {
  const CommandLine commandLine = ParseCommandLine(commandLineText != nullptr ? commandLineText : L"");
  const bool silent = commandLine.RunsSilently();

  // 1. One installer at a time: a second start only brings the first one's window forward; a silent one
  // gives up at once. The claim is held until process exit, after the telemetry wait and the logging
  // shutdown.
  static InstallerInstance installer(silent ? InstallerInstance::WhenTaken::kGiveUp
                                            : InstallerInstance::WhenTaken::kBringForward);
  if (!installer.IsHeld()) return silent ? kExitAnotherInstallerRuns : 0;

  // 2, 3. Logging, then crash capture; both live until process exit, where they are undone in reverse order.
  static LogGuard logGuard = InitLogger(GetExeFileName());
  InstallCrashHandler();

  // 4, 5. Upgrade mode, or a hand-over to a copy of this program in upgrade mode. A silent run installs
  // itself: a hand-over would end the process the deployment tool waits for before anything is installed.
  const bool isUpdate = commandLine.update;
  LogIgnoredArguments(commandLine);
  if (!isUpdate && !silent && UpgradeMarkerPresent()) {
    // The copy in upgrade mode must be able to claim the installer for itself, so the claim goes before
    // it starts. Claiming only after this decision instead would let a start made while an installer
    // runs get this far and spawn an upgrade copy beside the running worker; this way such a start never
    // looks at the marker. A third start slipping in between release and relaunch is harmless: whichever
    // of the two claims first is the one installer.
    installer.Release();
    RelaunchInUpgradeMode(commandLineText != nullptr ? commandLineText : L"");
    return 0;
  }
  spdlog::info("isUpdate flag :{}", isUpdate ? 1 : 0);
  if (silent) return RunSilentInstall(commandLine.folder);

  // 6, 7. The toolkit's module and skin.
  Veneer::CPaintManagerUI::SetInstance(instance);
  UseSkinResource();

  // The folder picker and the rich edit field's clipboard need the thread in a single-threaded apartment.
  const HRESULT ole = ::OleInitialize(nullptr);

  // 8. The main window lives until process exit: the install worker may still hold its engine.
  auto* mainWnd = new CMainWnd(isUpdate);
  if (mainWnd->Create(nullptr, L"Quillon 安装程序",
                      WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0) == nullptr) {
    spdlog::error("CreateWindowExW failed: {}", ::GetLastError());
    return kExitSkinUnusable;
  }
  // An upgrade that could not even start has already ended; its window closes without being seen.
  if (mainWnd->GetInstallState() != -1) {
    mainWnd->CenterWindow();
    mainWnd->ShowWindow(true, true);
  }

  // 9. Until the main window is destroyed. The run's outcome is the exit code: 0 after success or a quit
  //    before installing, the failure class's code after a failed installation.
  Veneer::CPaintManagerUI::MessageLoop();
  if (SUCCEEDED(ole)) ::OleUninitialize();
  return mainWnd->GetExitCode();
}
