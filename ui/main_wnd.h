// CMainWnd: the installer's only top-level window. One control tree ("main.xml") holds four views: welcome,
// customise (the same view, taller, showing the folder row), installing and finish. The window keeps the
// user's choices, starts the install worker, turns its messages into progress and the finish view, reports
// usage events, and launches the installed application at the end. In upgrade mode it installs at once and
// closes after launching the application.
#pragma once

#include <memory>
#include <string>

#include "engine/install_engine.h"
#include "veneer/window_impl_base.h"

class CMainWnd : public Veneer::WindowImplBase {
 public:
  explicit CMainWnd(bool isUpdate) : isUpdate(isUpdate ? 1 : 0) {}

  const wchar_t* GetWindowClassName() const override { return L"QuillonUpdateMainWnd"; }
  std::wstring GetSkinFile() override { return L"main.xml"; }
  void InitWindow() override;
  void Notify(Veneer::NotifyRecord& msg) override;
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

  // The view state, for the window's own tests.
  [[nodiscard]] bool IsExpanded() const { return expanded != 0; }
  [[nodiscard]] bool IsAgreed() const { return agreed != 0; }
  [[nodiscard]] int GetInstallState() const { return installState; }
  [[nodiscard]] bool IsClosePending() const { return closePending_; }

 private:
  void SetDefaultInstallPath();
  void OnExtendBtnClick();
  void OnAgreeCheckboxClick();
  void OnBrowsePathBtnClick();
  void OnCloseBtnClick();
  // Normalises the folder text and tells whether an installation may start with it. When it may not, the
  // customise view is shown with the folder field focused and a warning is logged.
  bool AcceptInstallFolder();
  void StartInstall();
  void OnInstallResult(bool succeeded);
  void OnInstallFinishBtnClick();
  void SendEvent(const char* eventType, const char* eventName);
  void ResizeWindow(int logicalHeight);
  void SetBackground(const wchar_t* descriptor);
  void SetButtonImages(const wchar_t* controlName, const wchar_t* file, const int (&tops)[4], int width,
                       int bottom);
  void SetControlVisible(const wchar_t* controlName, bool visible);

  int expanded = 0;
  int agreed = 1;
  int installState = 1;  // 1 not started, 2 installing, 0 succeeded, -1 failed
  std::unique_ptr<InstallEngine> engine;
  int isUpdate = 0;
  // A system close arrived while the worker was running: the window is hidden and closes on the result.
  bool closePending_ = false;
};
