// The main window during and after the installation: starting the worker, its progress and result
// messages, launching the application, and the end of the process.
#include <windows.h>

#include <spdlog/spdlog.h>

#include <cwchar>
#include <memory>
#include <string>
#include <thread>

#include "app/logger.h"
#include "app/process_launch.h"
#include "app/single_instance.h"
#include "app/system_info.h"
#include "app/text_encoding.h"
#include "engine/folder_ownership.h"
#include "telemetry/async_https_client.h"
#include "ui/failure_text.h"
#include "ui/install_result.h"
#include "ui/main_wnd.h"
#include "veneer/control.h"
#include "veneer/progress.h"

namespace {

// Logged in place of the process id when the desktop's shell started the application.
constexpr char kLaunchedByDesktopShell[] = "desktop-shell";
constexpr wchar_t kInstallingBackground[] = L"file='background_installing.png' gdiplus='true' source='0,0,1800,1200'";
constexpr wchar_t kFinishBackground[] = L"file='background_finish.png' gdiplus='true' source='0,0,1800,1200'";
constexpr wchar_t kFailedBackground[] = L"file='background_failed.png' gdiplus='true' source='0,0,1800,1200'";

}  // namespace

void CMainWnd::StartInstall() {
  installState = 2;
  ResizeWindow(400);
  SetBackground(kInstallingBackground);
  SetControlVisible(L"close_btn", false);
  SetControlVisible(L"install_bottom_contaner", false);
  SetControlVisible(L"install_failed_bottom_contaner", false);
  SetControlVisible(L"installing_bottom_contaner", true);
  ShowProgress(0);  // a retry starts again from nothing
  SendEvent("pv", isUpdate ? "upgrade_install_start" : "install_start");

  Veneer::CControlUI* pathInput = paintManager_.FindControl(L"path_input");
  if (pathInput == nullptr) return;
  const std::wstring folder = pathInput->GetText();
  auto engine = std::make_unique<InstallEngine>();
  engine->notifyWindow = window_;
  engine->installDir = folder;
  engines.push_back(std::move(engine));
  std::thread(&InstallEngine::Install, engines.back().get(), kPayloadResourceId, folder).detach();
}

LRESULT CMainWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == ShowInstallerWindowMessage()) {
    // A later start asked for this window: it comes back in sight and to the front. A system close held
    // back until the worker's result is dropped, since the user wants the window again.
    if (closePending_) spdlog::info("安装窗口再次显示，安装结束后不再关闭");
    closePending_ = false;
    ::ShowWindow(window_, ::IsIconic(window_) ? SW_RESTORE : SW_SHOW);
    ::SetForegroundWindow(::GetLastActivePopup(window_));
    return 0;
  }
  if (msg == TaskbarButtonCreatedMessage()) {
    taskbar_->OnButtonCreated(window_);
    return 0;
  }
  switch (msg) {
    case WM_INSTALL_PROGRESS: {
      // The entry's name is not shown, only freed.
      delete reinterpret_cast<std::wstring*>(lParam);
      ShowProgress(static_cast<int>(wParam));
      return 0;
    }
    case WM_INSTALL_SUCCEEDED:
    case WM_INSTALL_FAILED: {
      if (msg == WM_INSTALL_SUCCEEDED) {
        OnInstallResult(nullptr);
      } else {
        const InstallFailure failure = TakeInstallFailure(wParam, lParam);
        OnInstallResult(&failure);
      }
      if (isUpdate || window_ == nullptr) return 0;
      break;
    }
    case WM_CLOSE:
      // A system close (Alt+F4, the taskbar) while the worker runs would end the process between two steps
      // of the folder swap. The window goes out of sight instead and closes once the worker has finished.
      if (installState == 2) {
        if (!closePending_) spdlog::warn("安装进行中，窗口将在安装结束后关闭");
        closePending_ = true;
        ::ShowWindow(window_, SW_HIDE);
        return 0;
      }
      break;
    case WM_DESTROY:
      AsyncHttpsClient::GetInstance().Shutdown();
      ::PostQuitMessage(exitCode_);
      break;
    default: break;
  }
  return WindowImplBase::HandleMessage(msg, wParam, lParam);
}

void CMainWnd::ShowProgress(int percent) {
  taskbar_->ShowProgress(window_, percent);
  Veneer::CControlUI* bar = paintManager_.FindControl(L"progress_bkg");
  auto* progress = bar != nullptr ? static_cast<Veneer::CProgressUI*>(bar->GetInterface(L"Progress")) : nullptr;
  if (progress == nullptr) return;
  progress->SetValue(percent);
  if (Veneer::CControlUI* number = paintManager_.FindControl(L"progress_num")) {
    wchar_t text[16] = {};
    std::swprintf(text, 16, L"%d%%", percent);
    number->SetText(text);
  }
}

void CMainWnd::OnInstallResult(const InstallFailure* failure) {
  installState = failure == nullptr ? 0 : -1;
  exitCode_ = LogInstallResult(failure);
  SendEvent("click", isUpdate ? "upgrade_install_complete" : "install_complete");
  if (isUpdate) {
    if (failure == nullptr) {
      OnInstallFinishBtnClick();
    } else {
      EndUpgradeAfterFailure();
    }
    return;
  }
  if (closePending_) {
    ::DestroyWindow(window_);
    return;
  }
  if (failure != nullptr) {
    taskbar_->ShowError(window_);
  } else {
    taskbar_->ClearProgress(window_);
  }
  // A user who turned to something else meanwhile learns that the installation has ended.
  if (::GetForegroundWindow() != window_) taskbar_->Flash(window_);
  SetControlVisible(L"close_btn", true);
  SetControlVisible(L"installing_bottom_contaner", false);
  if (failure != nullptr) {
    ShowFailureView(*failure);
    return;
  }
  SetBackground(kFinishBackground);
  SetControlVisible(L"install_finish_bottom_contaner", true);
}

void CMainWnd::ShowFailureView(const InstallFailure& failure) {
  SetBackground(kFailedBackground);
  if (Veneer::CControlUI* reason = paintManager_.FindControl(L"failure_reason")) {
    reason->SetText(DescribeFailureForUser(failure));
  }
  if (Veneer::CControlUI* logPath = paintManager_.FindControl(L"log_path")) {
    logPath->SetText(L"日志文件：" + LogFilePath(GetExeFileName()));
  }
  SetControlVisible(L"install_failed_bottom_contaner", true);
}

void CMainWnd::EndUpgradeAfterFailure() {
  Veneer::CControlUI* pathInput = paintManager_.FindControl(L"path_input");
  const std::wstring folder = pathInput != nullptr ? pathInput->GetText() : std::wstring();
  if (pathInput != nullptr && ClassifyFolder(folder, RegisteredInstallLocation()) == FolderState::kInstallation) {
    OnInstallFinishBtnClick();
    return;
  }
  spdlog::error("升级失败，\"{}\" 不是 Quillon 的安装文件夹，不启动程序", WideToUtf8(folder));
  ::DestroyWindow(window_);
}

void CMainWnd::OnInstallFinishBtnClick() {
  Veneer::CControlUI* pathInput = paintManager_.FindControl(L"path_input");
  if (pathInput == nullptr) return;
  const std::wstring program = pathInput->GetText() + L"\\quillon_launcher.exe";
  // The application runs with the signed-in user's rights, not the installer's; the desktop's shell starts
  // it where there is one, and then no process id is known.
  const Process::UserLaunch launch = Process::LaunchAsDesktopUser(program, L"");
  spdlog::info("OnInstallFinishBtnClick Process::LaunchProcess {} {}", WideToUtf8(program),
               launch.throughDesktopShell ? std::string(kLaunchedByDesktopShell) : std::to_string(launch.processId));
  ::DestroyWindow(window_);
}
