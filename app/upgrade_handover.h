// Hand-over to upgrade mode: the installed application leaves a marker file when it wants the installer to
// upgrade it, and a normal start that finds the marker restarts the installer with "-update".
#pragma once

#include <windows.h>

#include <string>

// Temporary folder + "quillon\upgrade\quillon_upload.log".
std::wstring UpgradeMarkerPath();

// True when the marker exists as a file; a folder at that path does not count. The marker is only tested,
// never read, written or removed.
bool UpgradeMarkerPresent();

// Starts the installer's own executable, detached, with commandLineText followed by " -update", and logs the
// returned process id (or the failure value). Returns what Process::LaunchDetachedProcess returned.
DWORD RelaunchInUpgradeMode(const std::wstring& commandLineText);
