// CMainWnd: the installer's only top-level window. One control tree ("main.xml") holds five views: welcome,
// customise (the same view, taller, showing the folder row), installing, finish and failure. The window keeps
// the user's choices, starts the install worker, turns its messages into progress and the finish or failure
// view, reports usage events, and launches the installed application at the end. In upgrade mode it installs
// at once and closes after launching the application. What the run ended with is the process's exit code.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/install_engine.h"
#include "ui/taskbar_button.h"
#include "veneer/window_impl_base.h"

class CMainWnd : public Veneer::WindowImplBase {
 public:
  explicit CMainWnd(bool isUpdate) : isUpdate(isUpdate ? 1 : 0) {}

  const wchar_t* GetWindowClassName() const override { return L"QuillonUpdateMainWnd"; }
  std::wstring GetSkinFile() override { return L"main.xml"; }
  void InitWindow() override;
  void Notify(Veneer::NotifyRecord& msg) override;
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  // Escape in the welcome or customise view does what the close button does.
  LRESULT MessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) override;
  // Replaces the shell's taskbar button (tests record the calls instead).
  void SetTaskbarButton(std::unique_ptr<TaskbarButton> button) { taskbar_ = std::move(button); }

  // The view state, for the window's own tests.
  [[nodiscard]] bool IsExpanded() const { return expanded != 0; }
  [[nodiscard]] bool IsAgreed() const { return agreed != 0; }
  [[nodiscard]] int GetInstallState() const { return installState; }
  [[nodiscard]] bool IsClosePending() const { return closePending_; }
  // The process exit code the run has earned so far: 0 until an installation fails, then ExitCodeFor its
  // cause, and 0 again after a retry that succeeds. Also the code of the quit message.
  [[nodiscard]] int GetExitCode() const { return exitCode_; }

 private:
  void SetDefaultInstallPath();
  void OnExtendBtnClick();
  void OnAgreeCheckboxClick();
  void OnBrowsePathBtnClick();
  void OnCloseBtnClick();
  // Normalises the folder text and tells whether an installation may start with it: the text must name a
  // folder Windows can create, and an existing folder must be empty or an installation of the application.
  // When it may not, a warning is logged and, outside upgrade mode, the customise view is shown with the
  // folder field focused; a folder that is not ours is also explained in a notice box.
  bool AcceptInstallFolder();
  void ShowFolderField();
  void StartInstall();
  // The bar and the percentage above it.
  void ShowProgress(int percent);
  void OnInstallResult(const InstallFailure* failure);
  void ShowFailureView(const InstallFailure& failure);
  // Upgrade mode after a failure: the old installation is still in place, so it is started again, but only
  // from a folder that is an installation of the application.
  void EndUpgradeAfterFailure();
  void OnInstallFinishBtnClick();
  void SendEvent(const char* eventType, const char* eventName);
  void ResizeWindow(int logicalHeight);
  void SetBackground(const wchar_t* descriptor);
  void SetButtonImages(const wchar_t* controlName, const wchar_t* file, const int (&tops)[4], int width, int bottom);
  void SetControlVisible(const wchar_t* controlName, bool visible);
  // The words and roles screen readers announce for the image-only controls.
  void DescribeControlsForScreenReaders();

  int expanded = 0;
  int agreed = 1;
  int installState = 1;  // 1 not started, 2 installing, 0 succeeded, -1 failed
  // Every worker's engine, the current one last. Kept for the rest of the process: a worker that has posted
  // its result may still be returning.
  std::vector<std::unique_ptr<InstallEngine>> engines;
  int isUpdate = 0;
  int exitCode_ = 0;
  // A system close arrived while the worker was running: the window is hidden and closes on the result.
  bool closePending_ = false;
  std::unique_ptr<TaskbarButton> taskbar_ = MakeShellTaskbarButton();
};
