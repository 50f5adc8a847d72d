// CMsgBoxWnd: the skinned box shown modally over the main window. Made without a text it is the quit
// confirmation ("msg_box.xml"), answering with the close code: 1 for OK, 0 for cancel, its own close button
// or a system close. Made with a text it is a notice ("notice_box.xml") that shows the text and has only OK.
#pragma once

#include <string>
#include <utility>

#include "veneer/window_impl_base.h"

class CMsgBoxWnd : public Veneer::WindowImplBase {
 public:
  CMsgBoxWnd() = default;
  explicit CMsgBoxWnd(std::wstring notice) : notice_(std::move(notice)) {}

  const wchar_t* GetWindowClassName() const override { return L"MsgBoxWnd"; }
  std::wstring GetSkinFile() override { return notice_.empty() ? L"msg_box.xml" : L"notice_box.xml"; }
  void InitWindow() override;
  void Notify(Veneer::NotifyRecord& msg) override;
  // Escape answers as cancel does, Enter as OK does, unless a button has the keyboard focus: Enter and
  // Space then press that button.
  LRESULT MessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) override;

 private:
  std::wstring notice_;
};
