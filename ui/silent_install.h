// Silent installation ("/S"), for deployment tools: the same installation as the window's install button,
// with no window, no message box and no start of the application at the end. The outcome is the process's
// exit code.
#pragma once

#include <optional>
#include <string>

// A silent start while another installer runs does nothing and ends with this code at once; neither
// waiting for the other installer nor bringing it forward suits an unattended run.
inline constexpr int kExitAnotherInstallerRuns = 8;

// Installs into folderText ("/D="), or without it into the folder the window would propose (the
// registered installation's, else the default). The folder passes the window's checks first: its text
// must be usable and an existing folder must be empty or an installation of the application, else nothing
// happens and the result is ExitCodeFor(FailureCause::kFolderNotUsable). Sends the window's usage events
// and waits, bounded, for them on the way out. Returns the process exit code.
int RunSilentInstall(const std::optional<std::wstring>& folderText);
