#include "uninstaller/uninstall_wnd.h"

#include <spdlog/spdlog.h>

#include <cwchar>
#include <exception>
#include <thread>

#include "uninstaller/uninstall_job.h"
#include "veneer/progress.h"

namespace {

constexpr UINT WM_UNINSTALL_PROGRESS = WM_APP + 21;
constexpr UINT WM_UNINSTALL_DONE = WM_APP + 22;

}  // namespace

void CUninstallWnd::InitWindow() { paintManager_.SetDPI(GetDpiOfWindowMonitor(window_)); }

void CUninstallWnd::Notify(Veneer::NotifyRecord& msg) {
  if (msg.type == L"click" && msg.sender != nullptr) {
    const std::wstring name = msg.sender->GetName();
    // Closing is refused while the job runs: it never stops halfway.
    if ((name == L"close_btn" || name == L"uninstall_continue_btn" || name == L"uninstall_done_btn") && !running_) {
      ::DestroyWindow(window_);
      return;
    }
    if (name == L"uninstall_ok_btn" && !running_) {
      StartUninstall();
      return;
    }
  }
  WindowImplBase::Notify(msg);
}

void CUninstallWnd::StartUninstall() {
  running_ = true;
  started_ = true;
  SetControlVisible(L"uninstall_confirm_container", false);
  SetControlVisible(L"uninstalling_container", true);
  if (Veneer::CControlUI* close = paintManager_.FindControl(L"close_btn")) close->SetEnabled(false);
  ShowProgress(0);
  const HWND window = window_;
  const std::wstring installDir = installDir_;
  std::thread([window, installDir] {
    int result = kOtherError;
    try {
      result = RunUninstall(installDir, [window](int percent) {
        ::PostMessageW(window, WM_UNINSTALL_PROGRESS, static_cast<WPARAM>(percent), 0);
      });
    } catch (const std::exception& error) {
      spdlog::error("RunUninstall failed: {}", error.what());
    }
    ::PostMessageW(window, WM_UNINSTALL_DONE, static_cast<WPARAM>(result), 0);
  }).detach();
}

LRESULT CUninstallWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_UNINSTALL_PROGRESS: ShowProgress(static_cast<int>(wParam)); return 0;
    case WM_UNINSTALL_DONE:
      running_ = false;
      result_ = static_cast<int>(wParam);
      SetControlVisible(L"uninstalling_container", false);
      SetControlVisible(L"uninstall_done_container", true);
      if (Veneer::CControlUI* close = paintManager_.FindControl(L"close_btn")) close->SetEnabled(true);
      if (result_ != kUninstalled) {
        ::MessageBoxW(window_, ResultText(result_, installDir_).c_str(), L"Quillon 卸载", MB_OK | MB_ICONWARNING);
      }
      return 0;
    case WM_CLOSE:
      if (running_) return 0;
      break;
    case WM_DESTROY: ::PostQuitMessage(result_); break;
    default: break;
  }
  return WindowImplBase::HandleMessage(msg, wParam, lParam);
}

void CUninstallWnd::ShowProgress(int percent) {
  Veneer::CControlUI* bar = paintManager_.FindControl(L"progress_bkg");
  auto* progress = bar != nullptr ? static_cast<Veneer::CProgressUI*>(bar->GetInterface(L"Progress")) : nullptr;
  if (progress != nullptr) progress->SetValue(percent);
  if (Veneer::CControlUI* number = paintManager_.FindControl(L"progress_num")) {
    wchar_t text[16] = {};
    std::swprintf(text, 16, L"%d%%", percent);
    number->SetText(text);
  }
}

void CUninstallWnd::SetControlVisible(const wchar_t* controlName, bool visible) {
  if (Veneer::CControlUI* control = paintManager_.FindControl(controlName)) control->SetVisible(visible);
}
