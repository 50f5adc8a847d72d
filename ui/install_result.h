// The install worker's result as the window and a silent installation both receive it.
#pragma once

#include <windows.h>

#include "engine/install_failure.h"

// The cause and its details from a WM_INSTALL_FAILED, whose InstallFailure it deletes; without details the
// cause alone, and a message that names no cause counts as another error.
InstallFailure TakeInstallFailure(WPARAM wParam, LPARAM lParam);

// Logs the result ("安装结果 :0" after success, ":-1" and the failure's details otherwise) and returns the
// process exit code it earns.
int LogInstallResult(const InstallFailure* failure);
