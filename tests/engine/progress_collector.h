// A message-only window that receives the worker messages, as the main window would.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "engine/install_failure.h"

struct ProgressMessage {
  int percent = 0;
  std::wstring name;
};

class ProgressCollector {
 public:
  ProgressCollector();
  ProgressCollector(const ProgressCollector&) = delete;
  ProgressCollector& operator=(const ProgressCollector&) = delete;
  ~ProgressCollector();

  [[nodiscard]] HWND Window() const { return window_; }
  // Handles every message waiting in this thread's queue.
  void Drain();
  // Handles messages until a result message arrived or timeoutMs passed; true when a result arrived.
  bool WaitForResult(DWORD timeoutMs);

  std::vector<ProgressMessage> progress;
  int succeeded = 0;
  int failed = 0;
  // What the failure message carried (its wParam and details).
  InstallFailure failure{FailureCause::kNone, 0, 0, 0, {}};
  // Worker messages that arrived after the first result message.
  int lateMessages = 0;

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  HWND window_ = nullptr;
};
