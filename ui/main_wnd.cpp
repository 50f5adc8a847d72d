// The main window's views and user actions. Installation start, worker messages and the end of the run are
// in main_wnd_install.cpp.
#include "ui/main_wnd.h"

#include <windows.h>
#include <knownfolders.h>
#include <oleacc.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <spdlog/spdlog.h>

#include <cwchar>
#include <memory>

#include "app/system_info.h"
#include "app/text_encoding.h"
#include "telemetry/async_https_client.h"
#include "engine/folder_ownership.h"
#include "engine/install_folder.h"
#include "ui/msg_box_wnd.h"
#include "ui/web_page.h"
#include "veneer/control.h"
#include "veneer/rich_edit.h"

namespace {

constexpr wchar_t kWelcomeBackground[] = L"file='background_welcome.png' gdiplus='true' source='0,0,1800,1200'";
constexpr wchar_t kCustomiseBackground[] = L"file='background_welcome_more.png' gdiplus='true' source='0,0,1800,1401'";

constexpr int kExtendTops[4] = {0, 42, 84, 126};
constexpr int kTickedTops[4] = {204, 255, 306, 357};
constexpr int kUntickedTops[4] = {0, 51, 102, 153};

}  // namespace

void CMainWnd::InitWindow() {
  // The window opens centred on the monitor nearest to where it was created, at that monitor's scale.
  paintManager_.SetDPI(GetDpiOfWindowMonitor(window_));
  ::SetWindowPos(window_, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  // The installer runs elevated; the taskbar (Explorer) does not, and its announcement of the button would
  // be filtered out without this.
  ::ChangeWindowMessageFilterEx(window_, TaskbarButtonCreatedMessage(), MSGFLT_ALLOW, nullptr);
  DescribeControlsForScreenReaders();
  // The folder field holds one line: Tab leaves it for the next control instead of typing a tab.
  if (Veneer::CControlUI* field = paintManager_.FindControl(L"path_input")) {
    if (auto* edit = static_cast<Veneer::CRichEditUI*>(field->GetInterface(L"RichEdit"))) edit->SetWantTab(false);
  }
  // Enter on the welcome view installs, as the default button of a dialog would.
  if (Veneer::CControlUI* install = paintManager_.FindControl(L"install_btn")) install->SetFocus();
  SetDefaultInstallPath();
  if (Veneer::CControlUI* title = paintManager_.FindControl(L"title")) {
    wchar_t text[128] = {};
    std::swprintf(text, 128, L"Quillon V%ls 安装", GetProductVersion().c_str());
    title->SetText(text);
  }
  if (!isUpdate) return;
  if (!AcceptInstallFolder()) {
    // Nothing has started and nothing is launched: the window closes unseen with the failure's code.
    installState = -1;
    exitCode_ = ExitCodeFor(FailureCause::kFolderNotUsable);
    spdlog::error("升级失败：安装路径不可用，未安装，也未启动程序（退出码 {}）", exitCode_);
    ::PostMessageW(window_, WM_CLOSE, 0, 0);
    return;
  }
  SendEvent("click", "upgrade_install_click");
  StartInstall();
}

void CMainWnd::DescribeControlsForScreenReaders() {
  struct Description {
    const wchar_t* control;
    const wchar_t* name;
    long role;  // 0: the control's kind decides
  };
  static const Description kDescriptions[] = {
      {L"min_btn", L"最小化", 0},
      {L"close_btn", L"关闭", 0},
      {L"install_btn", L"立即安装", 0},
      {L"qq_contact_btn", L"遇到问题？加入用户交流群", ROLE_SYSTEM_LINK},
      {L"agree_checkbox", L"我已阅读并同意 《用户协议》", ROLE_SYSTEM_CHECKBUTTON},
      {L"agreement_btn", L"《用户协议》", ROLE_SYSTEM_LINK},
      {L"extend_btn", L"自定义安装", 0},
      {L"path_input", L"安装位置", 0},
      {L"browse_path_btn", L"浏览", 0},
      {L"progress_bkg", L"安装进度", 0},
      {L"install_finish_btn", L"立即体验", 0},
      {L"retry_btn", L"重试", 0},
      {L"failure_close_btn", L"关闭", 0},
  };
  for (const Description& description : kDescriptions) {
    Veneer::CControlUI* control = paintManager_.FindControl(description.control);
    if (control == nullptr) continue;
    control->SetAccessibleName(description.name);
    control->SetAccessibleRole(description.role);
  }
  if (Veneer::CControlUI* box = paintManager_.FindControl(L"agree_checkbox")) box->SetAccessibleChecked(agreed != 0);
}

LRESULT CMainWnd::MessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) {
  if (msg == WM_KEYDOWN && wParam == VK_ESCAPE && installState == 1 && ::IsWindowEnabled(window_)) {
    handled = true;
    OnCloseBtnClick();
    return 0;
  }
  return WindowImplBase::MessageHandler(msg, wParam, lParam, handled);
}

void CMainWnd::SetDefaultInstallPath() {
  if (Veneer::CControlUI* pathInput = paintManager_.FindControl(L"path_input")) {
    pathInput->SetText(ProposedInstallFolder());
  }
}

void CMainWnd::Notify(Veneer::NotifyRecord& msg) {
  if (msg.type == L"click" && msg.sender != nullptr) {
    const std::wstring name = msg.sender->GetName();
    if (name == L"close_btn") {
      OnCloseBtnClick();
      return;
    }
    if (name == L"min_btn") {
      SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
      return;
    }
    if (name == L"extend_btn") {
      OnExtendBtnClick();
      return;
    }
    if (name == L"qq_contact_btn") {
      OpenWebPage(window_, QUILLON_SUPPORT_URL);
    } else if (name == L"agreement_btn") {
      OpenWebPage(window_, QUILLON_AGREEMENT_URL);
    } else if (name == L"agree_checkbox") {
      OnAgreeCheckboxClick();
    } else if (name == L"install_btn") {
      // The button is disabled while the agreement is unticked; the check guards a click that was already
      // queued when it was unticked.
      if (agreed && installState == 1 && AcceptInstallFolder()) {
        SendEvent("click", "install_click");
        StartInstall();
      }
    } else if (name == L"install_finish_btn") {
      OnInstallFinishBtnClick();
    } else if (name == L"retry_btn") {
      if (installState == -1) StartInstall();
    } else if (name == L"failure_close_btn") {
      OnCloseBtnClick();
    } else if (name == L"browse_path_btn") {
      OnBrowsePathBtnClick();
    }
  }
  WindowImplBase::Notify(msg);
}

void CMainWnd::OnCloseBtnClick() {
  if (installState != 1) {
    SendEvent("click", "install_finish_close_click");
    ::DestroyWindow(window_);
    return;
  }
  // The box must outlive its own final messages, which arrive while ShowModal unwinds.
  auto box = std::make_unique<CMsgBoxWnd>();
  box->Create(window_, L"提示", WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
              WS_EX_WINDOWEDGE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr);
  box->CenterWindow();
  if (box->ShowModal() == 1) {
    SendEvent("click", "install_close_click");
    ::DestroyWindow(window_);
  }
}

void CMainWnd::OnExtendBtnClick() {
  expanded = !expanded;
  ResizeWindow(expanded ? 467 : 400);
  if (expanded) {
    SetBackground(kCustomiseBackground);
    SetButtonImages(L"extend_btn", L"button_uncustomize_setup.png", kExtendTops, 234, 168);
  } else {
    SetBackground(kWelcomeBackground);
    SetButtonImages(L"extend_btn", L"button_customize_setup.png", kExtendTops, 234, 168);
  }
}

void CMainWnd::OnAgreeCheckboxClick() {
  agreed = !agreed;
  if (agreed) {
    SetButtonImages(L"agree_checkbox", L"checkbox_license.png", kTickedTops, 279, 408);
  } else {
    SetButtonImages(L"agree_checkbox", L"checkbox_license.png", kUntickedTops, 279, 204);
  }
  if (Veneer::CControlUI* install = paintManager_.FindControl(L"install_btn")) install->SetEnabled(agreed != 0);
  if (Veneer::CControlUI* box = paintManager_.FindControl(L"agree_checkbox")) box->SetAccessibleChecked(agreed != 0);
}

void CMainWnd::OnBrowsePathBtnClick() {
  std::wstring picked;
  ComPtr<IFileOpenDialog> dialog;
  if (SUCCEEDED(::CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_ALL, IID_IFileOpenDialog,
                                   reinterpret_cast<void**>(dialog.Put())))) {
    FILEOPENDIALOGOPTIONS options = 0;
    dialog.Get()->GetOptions(&options);
    dialog.Get()->SetOptions(options | FOS_PICKFOLDERS);
    if (SUCCEEDED(dialog.Get()->Show(window_))) {
      ComPtr<IShellItem> item;
      if (SUCCEEDED(dialog.Get()->GetResult(item.Put()))) {
        PWSTR path = nullptr;
        if (SUCCEEDED(item.Get()->GetDisplayName(SIGDN_FILESYSPATH, &path)) && path != nullptr) picked = path;
        ::CoTaskMemFree(path);
      }
    }
  }
  if (picked.empty()) return;
  if (Veneer::CControlUI* pathInput = paintManager_.FindControl(L"path_input")) {
    pathInput->SetText(AppendProductSubfolder(picked));
  }
}

bool CMainWnd::AcceptInstallFolder() {
  Veneer::CControlUI* pathInput = paintManager_.FindControl(L"path_input");
  if (pathInput == nullptr) return true;
  const std::wstring text = pathInput->GetText();
  const FolderCheck check = CheckInstallFolder(text);
  if (check.problem != FolderProblem::kNone) {
    spdlog::warn("安装路径无效，未开始安装：\"{}\"（{}）", WideToUtf8(text), DescribeFolderProblem(check.problem));
    ShowFolderField();
    return false;
  }
  if (check.folder != text) pathInput->SetText(check.folder);

  // The installation replaces the folder as a whole, so a folder holding anything else than the application
  // is never used: its files are the user's.
  const FolderState state = ClassifyFolder(check.folder, RegisteredInstallLocation());
  if (state != FolderState::kForeign && state != FolderState::kUnreadable) return true;
  const bool foreign = state == FolderState::kForeign;
  spdlog::warn("安装路径不可用，未开始安装：\"{}\"（{}）", WideToUtf8(check.folder),
               foreign ? "文件夹中有不属于本程序的文件" : "文件夹的内容无法读取");
  ShowFolderField();
  if (!isUpdate) {
    auto notice = std::make_unique<CMsgBoxWnd>(
        foreign ? L"所选文件夹中已有其他文件，不是 Quillon 的安装位置。为保护这些文件，请选择空文件夹或新文件夹。"
                : L"无法读取所选文件夹的内容，不能确定其中的文件是否属于 Quillon，请选择其他文件夹。");
    notice->Create(window_, L"提示",
                   WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                   WS_EX_WINDOWEDGE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr);
    notice->CenterWindow();
    notice->ShowModal();
    if (Veneer::CControlUI* field = paintManager_.FindControl(L"path_input")) field->SetFocus();
  }
  return false;
}

void CMainWnd::ShowFolderField() {
  if (isUpdate) return;  // nobody to show it to: the upgrade ends instead
  if (!expanded) OnExtendBtnClick();
  if (Veneer::CControlUI* pathInput = paintManager_.FindControl(L"path_input")) pathInput->SetFocus();
}

void CMainWnd::SendEvent(const char* eventType, const char* eventName) {
  // Sending is asynchronous and its outcome only reaches the log.
  (void)AsyncHttpsClient::GetInstance().SendLog(eventType, eventName);
}

void CMainWnd::ResizeWindow(int logicalHeight) {
  Veneer::CDPI* dpi = paintManager_.GetDPIObj();
  ::SetWindowPos(window_, nullptr, 0, 0, dpi->Scale(600), dpi->Scale(logicalHeight), SWP_NOMOVE | SWP_NOZORDER);
}

void CMainWnd::SetBackground(const wchar_t* descriptor) {
  if (Veneer::CControlUI* background = paintManager_.FindControl(L"background_img")) {
    background->SetBkImage(descriptor);
  }
}

void CMainWnd::SetButtonImages(const wchar_t* controlName, const wchar_t* file, const int (&tops)[4], int width,
                               int bottom) {
  Veneer::CControlUI* button = paintManager_.FindControl(controlName);
  if (button == nullptr) return;
  static const wchar_t* const kStates[4] = {L"normalimage", L"hotimage", L"pushedimage", L"disabledimage"};
  for (int i = 0; i < 4; ++i) {
    const int stateBottom = i < 3 ? tops[i + 1] : bottom;
    wchar_t descriptor[160] = {};
    std::swprintf(descriptor, 160, L"file='%ls' gdiplus='true' source='0,%d,%d,%d'", file, tops[i], width, stateBottom);
    button->SetAttribute(kStates[i], descriptor);
  }
}

void CMainWnd::SetControlVisible(const wchar_t* controlName, bool visible) {
  if (Veneer::CControlUI* control = paintManager_.FindControl(controlName)) control->SetVisible(visible);
}
