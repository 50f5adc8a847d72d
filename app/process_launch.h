// Starting another program without waiting for it: the installed application after installation, and the
// installer itself when it hands over to an upgrade-mode copy.
#pragma once

#include <windows.h>

#include <string>

namespace Process {

// The only failure value of both functions; the reason is not kept.
inline constexpr DWORD kLaunchFailed = 0xFFFFFFFF;

// Starts programPath with argumentText and returns the new process id at once. The program runs in its own
// folder; its command line is the quoted path, one space and argumentText unchanged.
DWORD LaunchProcess(const std::wstring& programPath, const std::wstring& argumentText);

// As LaunchProcess, but the new process has no console and leaves the caller's job where the job allows it,
// so that it outlives the caller in every case.
DWORD LaunchDetachedProcess(const std::wstring& programPath, const std::wstring& argumentText);

}  // namespace Process
