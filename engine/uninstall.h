// Taking an installation away again: exactly what the installer put there, and nothing of the user's.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/install_record.h"

// What removing the recorded files left behind. Files and folders are relative to the install folder.
struct RemovalOutcome {
  int removedFiles = 0;
  std::vector<std::wstring> filesInUse;   // recorded files that exist but could not be deleted
  std::vector<std::wstring> keptFolders;  // recorded folders that still hold something (the user's files)
};

// Deletes every file of the record that is still there (read-only ones included), then the recorded folders
// that are empty, deepest first; a folder holding anything else stays. Then, only when no recorded file is
// left, the marker and the record, and the install folder when nothing is left in it. keepFile (relative,
// may be empty) is skipped: the uninstaller's own program while it still runs. progress gets (done, total)
// after each file.
RemovalOutcome RemoveRecordedFiles(const std::wstring& installDir, const InstallRecord& record,
                                   const std::wstring& keepFile = {},
                                   const std::function<void(int, int)>& progress = {});

// The desktop link and the start menu's "Quillon" folder with its two links (the folder only when empty).
void RemoveShortcuts();

// The current user's taskbar pins whose target is the application's launcher or main program within
// installDir. Returns how many were removed.
int UnpinTaskbar(const std::wstring& installDir);

// The uninstall entry, in this process's registry view, but only when it registers installDir: an entry
// that points elsewhere belongs to another installation. True when no entry for installDir is left.
bool RemoveUninstallEntry(const std::wstring& installDir);
