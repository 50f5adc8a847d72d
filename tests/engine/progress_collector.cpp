#include "tests/engine/progress_collector.h"

#include <algorithm>
#include <memory>

#include "engine/install_engine.h"

namespace {
const wchar_t kClassName[] = L"QuillonTestProgressCollector";
}

ProgressCollector::ProgressCollector() {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = &ProgressCollector::Procedure;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kClassName;
  ::RegisterClassW(&windowClass);  // fails harmlessly when already registered
  window_ = ::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, windowClass.hInstance, this);
  ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

ProgressCollector::~ProgressCollector() {
  Drain();  // frees the texts of messages nobody looked at
  ::DestroyWindow(window_);
}

void ProgressCollector::Drain() {
  MSG message;
  while (::PeekMessageW(&message, window_, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
}

bool ProgressCollector::WaitForResult(DWORD timeoutMs) {
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  while (succeeded + failed == 0) {
    const ULONGLONG now = ::GetTickCount64();
    if (now >= deadline) return false;
    // Short waits: the wake-up only reports messages posted since the queue was last looked at.
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 50)),
                                QS_ALLPOSTMESSAGE);
    Drain();
  }
  return true;
}

LRESULT CALLBACK ProgressCollector::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<ProgressCollector*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
  if (message >= WM_INSTALL_PROGRESS && message <= WM_INSTALL_FAILED && self->succeeded + self->failed > 0) {
    ++self->lateMessages;
  }
  switch (message) {
    case WM_INSTALL_PROGRESS: {
      auto* name = reinterpret_cast<std::wstring*>(lParam);
      self->progress.push_back({static_cast<int>(wParam), *name});
      delete name;
      return 0;
    }
    case WM_INSTALL_SUCCEEDED: ++self->succeeded; return 0;
    case WM_INSTALL_FAILED: {
      ++self->failed;
      const std::unique_ptr<InstallFailure> details(reinterpret_cast<InstallFailure*>(lParam));
      if (details) self->failure = *details;
      self->failure.cause = static_cast<FailureCause>(wParam);
      return 0;
    }
    default: return ::DefWindowProcW(window, message, wParam, lParam);
  }
}
