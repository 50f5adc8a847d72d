// Stopping the installed application's processes before its files are replaced.
#pragma once

#include <string>
#include <vector>

// Whether the program at imagePath lives in one of folders or below it: the folder part is compared without
// regard to case, as a path prefix ending at a separator (C:\Apps\Quillon holds C:\Apps\Quillon\bin\a.exe but
// not C:\Apps\Quillon2\a.exe). Both sides are made full and long first. Relative folder texts, drive roots and
// share roots hold nothing: a root would take in every program of the volume.
[[nodiscard]] bool ProgramIsInFolders(const std::wstring& imagePath, const std::vector<std::wstring>& folders);

// One sweep over a fresh process snapshot: every process whose executable file name equals one of names
// (ignoring case, whole name only) and whose program lives in one of folders is terminated and waited for up
// to 5 s. A process of a listed name whose program path cannot be read is left running (warn line): the
// names are common enough (crashpad_handler.exe) that other programs ship them. Returns how many were ended.
int KillProcessesByName(const std::vector<std::wstring>& names, const std::vector<std::wstring>& folders);

// Three sweeps over the application's process names within folders (the folder being replaced and the
// registered installation), each logged with its count, so that processes a launcher starts while an earlier
// sweep runs are caught by a later one.
void KillRunningApp(const std::vector<std::wstring>& folders);
