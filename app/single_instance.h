// One installer at a time. Two installers would run two install workers over the same folder and the same
// uninstall entry, so a named mutex, held for the life of the installer, lets only one process get past
// start-up. A later start brings the running installer's window forward instead and ends.
#pragma once

#include <windows.h>

#include "app/unique_resource.h"

// The message a later start sends to the installer's window: show yourself and come to the front. The
// window also drops a close it was holding back until the end of the installation, since the user has
// asked for it again.
UINT ShowInstallerWindowMessage();

class InstallerInstance {
 public:
  // How long a later start waits for the running installer's window when it has not been created yet.
  static constexpr DWORD kWindowWaitMs = 5000;

  // Claims the installer's mutex. When another installer holds it, this brings that installer's window
  // forward (waiting up to kWindowWaitMs for it to appear) and the claim is not held; if the other
  // installer ends meanwhile without a window, this process takes the claim over.
  InstallerInstance();
  InstallerInstance(const InstallerInstance&) = delete;
  InstallerInstance& operator=(const InstallerInstance&) = delete;
  ~InstallerInstance() { Release(); }

  // True when this process is the one installer and may go on starting up.
  [[nodiscard]] bool IsHeld() const { return held_; }

  // Lets another process claim the mutex; this process must not go on to install afterwards.
  void Release();

 private:
  bool TryTake(DWORD waitMs);

  UniqueHandle mutex_;
  bool held_ = false;
};
