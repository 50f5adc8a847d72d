// Starting another program without waiting for it: the installed application after installation, and the
// installer itself when it hands over to an upgrade-mode copy.
#pragma once

#include <windows.h>

#include <string>

struct IShellDispatch2;

namespace Process {

// The only failure value of both functions; the reason is not kept.
inline constexpr DWORD kLaunchFailed = 0xFFFFFFFF;

// Starts programPath with argumentText and returns the new process id at once. The program runs in its own
// folder; its command line is the quoted path, one space and argumentText unchanged.
DWORD LaunchProcess(const std::wstring& programPath, const std::wstring& argumentText);

// As LaunchProcess, but the new process has no console and leaves the caller's job where the job allows it,
// so that it outlives the caller in every case.
DWORD LaunchDetachedProcess(const std::wstring& programPath, const std::wstring& argumentText);

// The installer runs with administrator rights; what it opens for the user must not inherit them. The
// shell that runs the signed-in user's desktop (Explorer) opens it instead, with that user's own rights.
//
// Finds that shell's automation object; returns an error when there is none (no desktop shell, a COM
// failure) and then names the failed step in failedStep. Needs COM initialised on the calling thread.
using DesktopShellFinder = HRESULT (*)(IShellDispatch2** shell, const char** failedStep);
HRESULT FindDesktopShell(IShellDispatch2** shell, const char** failedStep);

// Opens file (a program or a web address) with the "open" verb, SW_SHOWNORMAL, argumentText and the
// working folder through the desktop's shell. False, after a warning in the log that names the step that
// failed, when that is impossible: the caller then opens it itself.
bool OpenThroughDesktopShell(const std::wstring& file, const std::wstring& argumentText, const std::wstring& folder,
                             DesktopShellFinder finder = &FindDesktopShell);

// How LaunchAsDesktopUser started the program. The process id is known only for a direct start.
struct UserLaunch {
  bool throughDesktopShell = false;
  DWORD processId = kLaunchFailed;
};

// Starts programPath in its own folder with the rights of the signed-in user through the desktop's shell;
// where there is none, starts it directly as LaunchProcess does (with this process's rights).
UserLaunch LaunchAsDesktopUser(const std::wstring& programPath, const std::wstring& argumentText,
                               DesktopShellFinder finder = &FindDesktopShell);

}  // namespace Process
