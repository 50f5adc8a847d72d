// unins000.exe: stands in for the demo application's uninstaller, so that the installer's
// handling of an existing uninstaller can be exercised without removing anything.
#include <windows.h>

#include "command_line.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Unattended runs must never block on a dialog that nobody will dismiss.
  if (!has_switch(L"/SILENT") && !has_switch(L"/VERYSILENT")) {
    MessageBoxW(nullptr, L"Quillon uninstaller (demo)", L"Quillon", MB_OK | MB_ICONINFORMATION);
  }
  return 0;
}
