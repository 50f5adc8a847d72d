// The main window during and after the installation: starting the worker, its progress and result
// messages, launching the application, and the end of the process.
#include <windows.h>

#include <spdlog/spdlog.h>

#include <cwchar>
#include <thread>

#include "app/process_launch.h"
#include "app/single_instance.h"
#include "app/text_encoding.h"
#include "telemetry/async_https_client.h"
#include "ui/main_wnd.h"
#include "veneer/control.h"
#include "veneer/progress.h"

namespace {

constexpr wchar_t kInstallingBackground[] =
    L"file='background_installing.png' gdiplus='true' source='0,0,1800,1200'";
constexpr wchar_t kFinishBackground[] = L"file='background_finish.png' gdiplus='true' source='0,0,1800,1200'";

}  // namespace

void CMainWnd::StartInstall() {
  installState = 2;
  ResizeWindow(400);
  SetBackground(kInstallingBackground);
  SetControlVisible(L"close_btn", false);
  SetControlVisible(L"install_bottom_contaner", false);
  SetControlVisible(L"installing_bottom_contaner", true);
  SendEvent("pv", isUpdate ? "upgrade_install_start" : "install_start");

  Veneer::CControlUI* pathInput = paintManager_.FindControl(L"path_input");
  if (pathInput == nullptr) return;
  const std::wstring folder = pathInput->GetText();
  engine = std::make_unique<InstallEngine>();
  engine->notifyWindow = window_;
  engine->installDir = folder;
  std::thread(&InstallEngine::Install, engine.get(), kPayloadResourceId, folder).detach();
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
  switch (msg) {
    case WM_INSTALL_PROGRESS: {
      // The entry's name is not shown, only freed.
      delete reinterpret_cast<std::wstring*>(lParam);
      Veneer::CControlUI* bar = paintManager_.FindControl(L"progress_bkg");
      if (auto* progress = bar != nullptr ? static_cast<Veneer::CProgressUI*>(bar->GetInterface(L"Progress")) : nullptr) {
        progress->SetValue(static_cast<int>(wParam));
        if (Veneer::CControlUI* number = paintManager_.FindControl(L"progress_num")) {
          wchar_t text[16] = {};
          std::swprintf(text, 16, L"%d%%", static_cast<int>(wParam));
          number->SetText(text);
        }
      }
      return 0;
    }
    case WM_INSTALL_SUCCEEDED:
    case WM_INSTALL_FAILED:
      OnInstallResult(msg == WM_INSTALL_SUCCEEDED);
      if (isUpdate || window_ == nullptr) return 0;
      break;
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
      ::PostQuitMessage(0);
      break;
    default:
      break;
  }
  return WindowImplBase::HandleMessage(msg, wParam, lParam);
}

void CMainWnd::OnInstallResult(bool succeeded) {
  installState = succeeded ? 0 : -1;
  spdlog::info("安装结果 :{}", installState);
  SendEvent("click", isUpdate ? "upgrade_install_complete" : "install_complete");
  if (isUpdate) {
    OnInstallFinishBtnClick();
    return;
  }
  if (closePending_) {
    ::DestroyWindow(window_);
    return;
  }
  SetBackground(kFinishBackground);
  SetControlVisible(L"close_btn", true);
  SetControlVisible(L"installing_bottom_contaner", false);
  SetControlVisible(L"install_finish_bottom_contaner", true);
}

void CMainWnd::OnInstallFinishBtnClick() {
  Veneer::CControlUI* pathInput = paintManager_.FindControl(L"path_input");
  if (pathInput == nullptr) return;
  const std::wstring program = pathInput->GetText() + L"\\quillon_launcher.exe";
  const DWORD processId = Process::LaunchProcess(program, L"");
  spdlog::info("OnInstallFinishBtnClick Process::LaunchProcess {} {}", WideToUtf8(program), processId);
  ::DestroyWindow(window_);
}
