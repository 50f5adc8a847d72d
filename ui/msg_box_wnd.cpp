#include "ui/msg_box_wnd.h"

#include "veneer/control.h"

void CMsgBoxWnd::InitWindow() {
  // The box opens centred over its owner, so on the owner's monitor and at its scale.
  HWND owner = ::GetWindow(window_, GW_OWNER);
  paintManager_.SetDPI(GetDpiOfWindowMonitor(owner != nullptr ? owner : window_));
  static const struct {
    const wchar_t* control;
    const wchar_t* name;
  } kNames[] = {{L"msg_ok_btn", L"确定"}, {L"msg_cancel_btn", L"取消"}, {L"msg_close_btn", L"关闭"}};
  for (const auto& entry : kNames) {
    if (Veneer::CControlUI* button = paintManager_.FindControl(entry.control)) button->SetAccessibleName(entry.name);
  }
  // OK is the default button and takes the keyboard focus first.
  if (Veneer::CControlUI* ok = paintManager_.FindControl(L"msg_ok_btn")) ok->SetFocus();
  if (notice_.empty()) return;
  if (Veneer::CControlUI* tips = paintManager_.FindControl(L"tips")) tips->SetText(notice_);
}

LRESULT CMsgBoxWnd::MessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) {
  if (msg == WM_KEYDOWN && wParam == VK_ESCAPE) {
    handled = true;
    Close(0);
    return 0;
  }
  if (msg == WM_KEYDOWN && wParam == VK_RETURN) {
    Veneer::CControlUI* focus = paintManager_.GetFocus();
    if (focus == nullptr || focus->GetInterface(L"Button") == nullptr) {
      handled = true;
      Close(1);
      return 0;
    }
  }
  return WindowImplBase::MessageHandler(msg, wParam, lParam, handled);
}

void CMsgBoxWnd::Notify(Veneer::NotifyRecord& msg) {
  if (msg.type == L"click" && msg.sender != nullptr) {
    const std::wstring name = msg.sender->GetName();
    if (name == L"msg_close_btn" || name == L"msg_cancel_btn") Close(0);
    if (name == L"msg_ok_btn") Close(1);
  }
  WindowImplBase::Notify(msg);
}
