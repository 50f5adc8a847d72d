// CButtonUI: a label with four state images (normal, hot, pushed, disabled) that reports "click" when the
// left button goes down and comes up inside it, or when Space or Enter is pressed while it has the focus.
#pragma once

#include <string>

#include "veneer/label.h"

namespace Veneer {

// Button state bits.
constexpr UINT kButtonFocused = 0x01;
constexpr UINT kButtonDisabled = 0x04;
constexpr UINT kButtonHot = 0x08;
constexpr UINT kButtonPushed = 0x10;
constexpr UINT kButtonCaptured = 0x40;

class CButtonUI : public CLabelUI {
 public:
  CButtonUI();

  const wchar_t* GetClass() const override;
  void* GetInterface(const wchar_t* name) override;
  UINT GetControlFlags() const override;

  bool Activate() override;
  void DoEvent(EventRecord& event) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;

  [[nodiscard]] UINT GetButtonState() const { return state_; }

  void SetNormalImage(const std::wstring& descriptor);
  void SetHotImage(const std::wstring& descriptor);
  void SetPushedImage(const std::wstring& descriptor);
  void SetFocusedImage(const std::wstring& descriptor);
  void SetDisabledImage(const std::wstring& descriptor);
  void SetHotForeImage(const std::wstring& descriptor);
  void SetPushedForeImage(const std::wstring& descriptor);
  void SetStateImage(const std::wstring& descriptor);
  void SetStateCount(int count);
  void SetHotBkColor(DWORD color);
  void SetPushedBkColor(DWORD color);
  void SetDisabledBkColor(DWORD color);
  void SetHotTextColor(DWORD color);
  void SetPushedTextColor(DWORD color);
  void SetFocusedTextColor(DWORD color);
  void SetHotBorderColor(DWORD color);
  void SetPushedBorderColor(DWORD color);
  void SetDisabledBorderColor(DWORD color);
  void SetHotFont(int font);
  void SetPushedFont(int font);
  void SetFocusedFont(int font);
  // Selecting item `index` of the tab layout named `name` on every click.
  void BindTabIndex(int index);
  void BindTabLayoutName(const std::wstring& name);

  void PaintStatusImage(HDC dc) override;
  void PaintText(HDC dc) override;
  void PaintBkColor(HDC dc) override;
  void PaintBorder(HDC dc) override;
  void PaintForeImage(HDC dc) override;

 private:
  // Cuts the state strip into the normal, hot, pushed and disabled descriptors.
  void SliceStateImage();

  UINT state_ = 0;
  int hotFont_ = -1;
  int pushedFont_ = -1;
  int focusedFont_ = -1;
  DWORD hotBkColor_ = 0;
  DWORD pushedBkColor_ = 0;
  DWORD disabledBkColor_ = 0;
  DWORD hotTextColor_ = 0;
  DWORD pushedTextColor_ = 0;
  DWORD focusedTextColor_ = 0;
  DWORD hotBorderColor_ = 0;
  DWORD pushedBorderColor_ = 0;
  DWORD disabledBorderColor_ = 0;
  std::wstring normalImage_;
  std::wstring hotImage_;
  std::wstring pushedImage_;
  std::wstring focusedImage_;
  std::wstring disabledImage_;
  std::wstring hotForeImage_;
  std::wstring pushedForeImage_;
  std::wstring stateImage_;
  int stateCount_ = 0;
  std::wstring slicedStateImage_;  // the strip the four descriptors were cut from
  int slicedStateCount_ = 0;
  int bindTabIndex_ = -1;
  std::wstring bindTabLayoutName_;
};

}  // namespace Veneer
