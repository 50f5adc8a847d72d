// CUninstallWnd: the uninstaller's window. One control tree ("main_uninstall.xml") holds three views: the
// confirmation, the progress while the job runs on a worker thread, and the done view.
#pragma once

#include <string>

#include "veneer/window_impl_base.h"

class CUninstallWnd : public Veneer::WindowImplBase {
 public:
  explicit CUninstallWnd(std::wstring installDir) : installDir_(std::move(installDir)) {}

  const wchar_t* GetWindowClassName() const override { return L"QuillonUninstallWnd"; }
  std::wstring GetSkinFile() override { return L"main_uninstall.xml"; }
  void InitWindow() override;
  void Notify(Veneer::NotifyRecord& msg) override;
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

  // The job's result once it has run; kUninstalled when the user kept the application.
  [[nodiscard]] int GetResult() const { return result_; }
  [[nodiscard]] bool Started() const { return started_; }

 private:
  void StartUninstall();
  void ShowProgress(int percent);
  void SetControlVisible(const wchar_t* controlName, bool visible);

  std::wstring installDir_;
  int result_ = 0;
  bool running_ = false;
  bool started_ = false;
};
