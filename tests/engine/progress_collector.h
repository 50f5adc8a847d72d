// A message-only window that receives the worker messages, as the main window would.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

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

  std::vector<ProgressMessage> progress;
  int succeeded = 0;
  int failed = 0;

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  HWND window_ = nullptr;
};
