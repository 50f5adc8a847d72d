// CMsgBoxWnd: the skinned quit confirmation shown over the main window before an installation has started.
// Run modally, it answers with the close code: 1 for OK, 0 for cancel, its own close button or a system close.
#pragma once

#include <string>

#include "veneer/window_impl_base.h"

class CMsgBoxWnd : public Veneer::WindowImplBase {
 public:
  CMsgBoxWnd() = default;

  const wchar_t* GetWindowClassName() const override { return L"MsgBoxWnd"; }
  std::wstring GetSkinFile() override { return L"msg_box.xml"; }
  void InitWindow() override;
  void Notify(Veneer::NotifyRecord& msg) override;
};
