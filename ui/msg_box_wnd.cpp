#include "ui/msg_box_wnd.h"

#include "veneer/control.h"

void CMsgBoxWnd::InitWindow() {
  paintManager_.SetDPI(GetDpiAtPoint(1, 1));
  if (notice_.empty()) return;
  if (Veneer::CControlUI* tips = paintManager_.FindControl(L"tips")) tips->SetText(notice_);
}

void CMsgBoxWnd::Notify(Veneer::NotifyRecord& msg) {
  if (msg.type == L"click" && msg.sender != nullptr) {
    const std::wstring name = msg.sender->GetName();
    if (name == L"msg_close_btn" || name == L"msg_cancel_btn") Close(0);
    if (name == L"msg_ok_btn") Close(1);
  }
  WindowImplBase::Notify(msg);
}
