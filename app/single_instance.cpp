#include "app/single_instance.h"

namespace {

// Machine-wide rather than per session: the worker changes machine-wide state (the folder under Program
// Files, the HKLM uninstall entry). A start in another session finds no window of ours to bring forward
// and just ends.
constexpr wchar_t kMutexName[] = L"Global\\QuillonSetupOneInstaller";
constexpr wchar_t kMainWindowClass[] = L"QuillonUpdateMainWnd";
constexpr wchar_t kShowWindowMessageName[] = L"QuillonSetupShowInstallerWindow";
constexpr DWORD kPollMs = 50;
constexpr UINT kShowAnswerWaitMs = 3000;

void BringForward(HWND window) {
  // Only a process that may take the foreground can hand that right on; a process the user has just
  // started may, so the installer can bring its own window (or its open message box) to the front.
  DWORD processId = 0;
  ::GetWindowThreadProcessId(window, &processId);
  ::AllowSetForegroundWindow(processId);
  DWORD_PTR ignored = 0;
  ::SendMessageTimeoutW(window, ShowInstallerWindowMessage(), 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, kShowAnswerWaitMs,
                        &ignored);
  // The same from here, in case the window could not answer in time.
  if (::IsIconic(window)) ::ShowWindowAsync(window, SW_RESTORE);
  ::SetForegroundWindow(::GetLastActivePopup(window));
}

}  // namespace

UINT ShowInstallerWindowMessage() {
  static const UINT message = ::RegisterWindowMessageW(kShowWindowMessageName);
  return message;
}

InstallerInstance::InstallerInstance(WhenTaken whenTaken) : mutex_(::CreateMutexW(nullptr, FALSE, kMutexName)) {
  const bool bringForward = whenTaken == WhenTaken::kBringForward;
  if (!mutex_) {
    // Without the mutex only the window is left to tell whether an installer runs.
    HWND existing = ::FindWindowW(kMainWindowClass, nullptr);
    if (existing != nullptr && bringForward) BringForward(existing);
    held_ = existing == nullptr;
    return;
  }
  if (TryTake(0) || !bringForward) return;

  // The running installer may not have created its window yet.
  const ULONGLONG deadline = ::GetTickCount64() + kWindowWaitMs;
  for (;;) {
    if (HWND existing = ::FindWindowW(kMainWindowClass, nullptr)) {
      BringForward(existing);
      return;
    }
    // It may also end without a window (a hand-over to upgrade mode, a run that was just closed): the
    // mutex is then free and this start becomes the installer.
    if (TryTake(kPollMs)) return;
    if (::GetTickCount64() >= deadline) return;
  }
}

bool InstallerInstance::TryTake(DWORD waitMs) {
  // An abandoned mutex belonged to an installer that ended without releasing it: it is ours now.
  const DWORD result = ::WaitForSingleObject(mutex_.Get(), waitMs);
  held_ = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
  return held_;
}

void InstallerInstance::Release() {
  if (held_ && mutex_) ::ReleaseMutex(mutex_.Get());
  held_ = false;
  mutex_.Reset();
}
