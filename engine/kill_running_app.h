// Stopping the installed application's processes before its files are replaced.
#pragma once

#include <string>
#include <vector>

// One sweep over a fresh process snapshot: every process whose executable file name equals one of names
// (ignoring case, whole name only) is terminated and waited for up to 5 s. Returns how many were ended.
int KillProcessesByName(const std::vector<std::wstring>& names);

// Three sweeps over the application's process names, each logged with its count, so that processes a
// launcher starts while an earlier sweep runs are caught by a later one.
void KillRunningApp();
