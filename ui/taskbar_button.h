// The main window's button on the taskbar: the installation's progress drawn over it (green while
// installing, red after a failure, plain again at the end) and a flash that calls the user back. The window
// speaks to it through this small interface; the shell's implementation drives ITaskbarList3.
#pragma once

#include <windows.h>

#include <memory>

class TaskbarButton {
 public:
  virtual ~TaskbarButton() = default;
  // The taskbar has made (or, after Explorer restarted, made again) the window's button.
  virtual void OnButtonCreated(HWND window) = 0;
  virtual void ShowProgress(HWND window, int percent) = 0;
  virtual void ShowError(HWND window) = 0;
  virtual void ClearProgress(HWND window) = 0;
  // Flashes the button until the window comes to the front.
  virtual void Flash(HWND window) = 0;
};

// The registered message "TaskbarButtonCreated" that announces the button.
UINT TaskbarButtonCreatedMessage();

// The shell's taskbar. Until the button exists nothing can be drawn on it, so the last state is kept and
// applied when the button is announced.
std::unique_ptr<TaskbarButton> MakeShellTaskbarButton();
