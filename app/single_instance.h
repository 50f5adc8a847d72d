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

  // What a start does when another installer holds the claim.
  enum class WhenTaken {
    kBringForward,  // a start by the user: show the running installer instead
    kGiveUp,        // a silent start: touch nothing on screen, wait for nothing
  };

  // Claims the installer's mutex. When another installer holds it, kBringForward brings that installer's
  // window forward (waiting up to kWindowWaitMs for it to appear) and the claim is not held; if the other
  // installer ends meanwhile without a window, this process takes the claim over. kGiveUp only tries once.
  explicit InstallerInstance(WhenTaken whenTaken = WhenTaken::kBringForward);
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
