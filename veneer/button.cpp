#include "veneer/button.h"

#include <cwchar>

#include "veneer/attribute_text.h"
#include "veneer/render_engine.h"
#include "veneer/tab_layout.h"

namespace Veneer {

CButtonUI::CButtonUI() { textStyle_ = kTextSingleLine | kTextVCenter | kTextCenter; }

const wchar_t* CButtonUI::GetClass() const { return L"ButtonUI"; }

void* CButtonUI::GetInterface(const wchar_t* name) {
  if (name != nullptr && std::wcscmp(name, L"Button") == 0) return static_cast<CButtonUI*>(this);
  return CLabelUI::GetInterface(name);
}

UINT CButtonUI::GetControlFlags() const {
  return (IsKeyboardEnabled() ? kControlFlagTabStop : 0) | (IsEnabled() ? kControlFlagSetCursor : 0);
}

bool CButtonUI::Activate() {
  if (!CControlUI::Activate()) return false;
  if (manager_ != nullptr) {
    manager_->SendNotify(this, L"click");
    if (!bindTabLayoutName_.empty() && bindTabIndex_ >= 0) {
      if (CControlUI* found = manager_->FindControl(bindTabLayoutName_.c_str())) {
        if (auto* tabs = static_cast<CTabLayoutUI*>(found->GetInterface(L"TabLayout"))) tabs->SelectItem(bindTabIndex_);
      }
    }
  }
  return true;
}

void CButtonUI::DoEvent(EventRecord& event) {
  // 1. With the mouse switched off, mouse events belong to the parent.
  if (!IsMouseEnabled() && event.type >= UiEvent::MouseMove && event.type <= UiEvent::ScrollWheel) {
    if (parent_ != nullptr) {
      parent_->DoEvent(event);
    } else {
      CLabelUI::DoEvent(event);
    }
    return;
  }
  const bool inside = Contains(item_, event.mouse);
  switch (event.type) {
    case UiEvent::SetFocus:
    case UiEvent::KillFocus: Invalidate(); break;
    case UiEvent::KeyDown:
      if (IsKeyboardEnabled() && (event.key == VK_SPACE || event.key == VK_RETURN)) {
        Activate();
        return;
      }
      break;
    case UiEvent::ButtonDown:
    case UiEvent::DblClick:
      if (inside && IsEnabled()) {
        state_ |= kButtonPushed | kButtonCaptured;
        Invalidate();
        if (IsRichEvent() && manager_ != nullptr) manager_->SendNotify(this, L"buttondown");
      }
      return;
    case UiEvent::MouseMove:
      if (state_ & kButtonCaptured) {
        state_ = inside ? (state_ | kButtonPushed) : (state_ & ~kButtonPushed);
        Invalidate();
      }
      return;
    case UiEvent::ButtonUp:
      if (state_ & kButtonCaptured) {
        state_ &= ~(kButtonPushed | kButtonCaptured);
        Invalidate();
        if (inside) Activate();
      }
      return;
    case UiEvent::ContextMenu:
      if (IsContextMenuEnabled() && manager_ != nullptr)
        manager_->SendNotify(this, L"menu", event.wParam, event.lParam);
      return;
    case UiEvent::MouseEnter:
      if (IsEnabled()) {
        state_ |= kButtonHot;
        Invalidate();
        if (IsRichEvent() && manager_ != nullptr) manager_->SendNotify(this, L"mouseenter");
      }
      break;
    case UiEvent::MouseLeave:
      if (IsEnabled()) {
        state_ &= ~kButtonHot;
        Invalidate();
        if (IsRichEvent() && manager_ != nullptr) manager_->SendNotify(this, L"mouseleave");
      }
      break;
    default: break;
  }
  CLabelUI::DoEvent(event);
}

// --- Setters ----------------------------------------------------------------------------------------

#define VENEER_STORE_AND_INVALIDATE(field, value) \
  do {                                            \
    (field) = (value);                            \
    Invalidate();                                 \
  } while (false)

void CButtonUI::SetNormalImage(const std::wstring& d) { VENEER_STORE_AND_INVALIDATE(normalImage_, d); }
void CButtonUI::SetHotImage(const std::wstring& d) { VENEER_STORE_AND_INVALIDATE(hotImage_, d); }
void CButtonUI::SetPushedImage(const std::wstring& d) { VENEER_STORE_AND_INVALIDATE(pushedImage_, d); }
void CButtonUI::SetFocusedImage(const std::wstring& d) { VENEER_STORE_AND_INVALIDATE(focusedImage_, d); }
void CButtonUI::SetDisabledImage(const std::wstring& d) { VENEER_STORE_AND_INVALIDATE(disabledImage_, d); }
void CButtonUI::SetHotForeImage(const std::wstring& d) { VENEER_STORE_AND_INVALIDATE(hotForeImage_, d); }
void CButtonUI::SetPushedForeImage(const std::wstring& d) { VENEER_STORE_AND_INVALIDATE(pushedForeImage_, d); }
void CButtonUI::SetStateImage(const std::wstring& d) { VENEER_STORE_AND_INVALIDATE(stateImage_, d); }
void CButtonUI::SetStateCount(int count) { VENEER_STORE_AND_INVALIDATE(stateCount_, count); }
void CButtonUI::SetHotBkColor(DWORD color) { VENEER_STORE_AND_INVALIDATE(hotBkColor_, color); }
void CButtonUI::SetPushedBkColor(DWORD color) { VENEER_STORE_AND_INVALIDATE(pushedBkColor_, color); }
void CButtonUI::SetDisabledBkColor(DWORD color) { VENEER_STORE_AND_INVALIDATE(disabledBkColor_, color); }
void CButtonUI::SetHotTextColor(DWORD color) { VENEER_STORE_AND_INVALIDATE(hotTextColor_, color); }
void CButtonUI::SetPushedTextColor(DWORD color) { VENEER_STORE_AND_INVALIDATE(pushedTextColor_, color); }
void CButtonUI::SetFocusedTextColor(DWORD color) { VENEER_STORE_AND_INVALIDATE(focusedTextColor_, color); }
void CButtonUI::SetHotBorderColor(DWORD color) { VENEER_STORE_AND_INVALIDATE(hotBorderColor_, color); }
void CButtonUI::SetPushedBorderColor(DWORD color) { VENEER_STORE_AND_INVALIDATE(pushedBorderColor_, color); }
void CButtonUI::SetDisabledBorderColor(DWORD color) { VENEER_STORE_AND_INVALIDATE(disabledBorderColor_, color); }
void CButtonUI::SetHotFont(int font) { VENEER_STORE_AND_INVALIDATE(hotFont_, font); }
void CButtonUI::SetPushedFont(int font) { VENEER_STORE_AND_INVALIDATE(pushedFont_, font); }
void CButtonUI::SetFocusedFont(int font) { VENEER_STORE_AND_INVALIDATE(focusedFont_, font); }
#undef VENEER_STORE_AND_INVALIDATE

void CButtonUI::BindTabIndex(int index) {
  if (index >= 0) bindTabIndex_ = index;
}
void CButtonUI::BindTabLayoutName(const std::wstring& name) { bindTabLayoutName_ = name; }

void CButtonUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (name == nullptr || value == nullptr) return;
  auto is = [name](const wchar_t* candidate) { return EqualsNoCase(name, candidate); };
  if (is(L"normalimage")) {
    SetNormalImage(value);
  } else if (is(L"hotimage")) {
    SetHotImage(value);
  } else if (is(L"pushedimage")) {
    SetPushedImage(value);
  } else if (is(L"focusedimage")) {
    SetFocusedImage(value);
  } else if (is(L"disabledimage")) {
    SetDisabledImage(value);
  } else if (is(L"hotforeimage")) {
    SetHotForeImage(value);
  } else if (is(L"pushedforeimage")) {
    SetPushedForeImage(value);
  } else if (is(L"stateimage")) {
    SetStateImage(value);
  } else if (is(L"statecount")) {
    SetStateCount(static_cast<int>(ParseLong(value)));
  } else if (is(L"bindtabindex")) {
    BindTabIndex(static_cast<int>(ParseLong(value)));
  } else if (is(L"bindtablayoutname")) {
    BindTabLayoutName(value);
  } else if (is(L"hotbkcolor")) {
    SetHotBkColor(ParseColor(value));
  } else if (is(L"pushedbkcolor")) {
    SetPushedBkColor(ParseColor(value));
  } else if (is(L"disabledbkcolor")) {
    SetDisabledBkColor(ParseColor(value));
  } else if (is(L"hottextcolor")) {
    SetHotTextColor(ParseColor(value));
  } else if (is(L"pushedtextcolor")) {
    SetPushedTextColor(ParseColor(value));
  } else if (is(L"focusedtextcolor")) {
    SetFocusedTextColor(ParseColor(value));
  } else if (is(L"hotbordercolor")) {
    SetHotBorderColor(ParseColor(value));
  } else if (is(L"pushedbordercolor")) {
    SetPushedBorderColor(ParseColor(value));
  } else if (is(L"disabledbordercolor")) {
    SetDisabledBorderColor(ParseColor(value));
  } else if (is(L"hotfont")) {
    SetHotFont(static_cast<int>(ParseLong(value)));
  } else if (is(L"pushedfont")) {
    SetPushedFont(static_cast<int>(ParseLong(value)));
  } else if (is(L"focuedfont")) {
    // The focused font has always been read under this spelling; skins write it so.
    SetFocusedFont(static_cast<int>(ParseLong(value)));
  } else {
    CLabelUI::SetAttribute(name, value);
  }
}

// --- Painting ---------------------------------------------------------------------------------------

void CButtonUI::SliceStateImage() {
  if (manager_ == nullptr || stateImage_.empty() || stateCount_ < 1) return;
  if (slicedStateImage_ == stateImage_ && slicedStateCount_ == stateCount_) return;
  const TDrawInfo* strip = manager_->GetDrawInfo(stateImage_.c_str(), nullptr);
  if (strip == nullptr) return;
  const TImageInfo* image = manager_->GetImageEx(strip->imageName.c_str(),
                                                 strip->resourceType.empty() ? nullptr : strip->resourceType.c_str(),
                                                 strip->mask, false, strip->gdiplus);
  if (image == nullptr) return;
  slicedStateImage_ = stateImage_;
  slicedStateCount_ = stateCount_;
  std::wstring* targets[] = {&normalImage_, &hotImage_, &pushedImage_, &disabledImage_};
  for (int i = 0; i < 4 && i < stateCount_; ++i) {
    const long left = static_cast<long>(image->width) * i / stateCount_;
    const long right = static_cast<long>(image->width) * (i + 1) / stateCount_;
    wchar_t descriptor[MAX_PATH * 2];
    std::swprintf(descriptor, MAX_PATH * 2, L"res='%ls' restype='%ls' dest='%ld,%ld,%ld,%ld' source='%ld,%ld,%ld,%ld'",
                  strip->imageName.c_str(), strip->resourceType.c_str(), strip->dest.left, strip->dest.top,
                  strip->dest.right, strip->dest.bottom, left, 0L, right, static_cast<long>(image->height));
    *targets[i] = descriptor;
  }
}

void CButtonUI::PaintStatusImage(HDC dc) {
  SliceStateImage();
  state_ = IsFocused() ? (state_ | kButtonFocused) : (state_ & ~kButtonFocused);
  state_ = IsEnabled() ? (state_ & ~kButtonDisabled) : (state_ | kButtonDisabled);
  if (manager_ != nullptr && !::IsWindowEnabled(manager_->GetPaintWindow())) state_ &= kButtonDisabled;

  const std::wstring* chosen = nullptr;
  if (state_ & kButtonDisabled) {
    chosen = &disabledImage_;
  } else if (state_ & kButtonPushed) {
    chosen = &pushedImage_;
  } else if (state_ & kButtonHot) {
    chosen = &hotImage_;
  } else if (state_ & kButtonFocused) {
    chosen = &focusedImage_;
  }
  if (chosen != nullptr && !chosen->empty() && DrawImage(dc, *chosen)) return;
  if (!normalImage_.empty()) DrawImage(dc, normalImage_);
}

void CButtonUI::PaintText(HDC dc) {
  if (manager_ == nullptr) return;
  ResolveDefaultColors();
  if (GetText().empty()) return;
  DWORD color = IsEnabled() ? textColor_ : disabledTextColor_;
  int font = font_;
  // Each applicable state overrides the one before: a hot colour shows while a pushed button is hovered.
  if ((state_ & kButtonPushed) && pushedTextColor_ != 0) color = pushedTextColor_;
  if ((state_ & kButtonPushed) && pushedFont_ != -1) font = pushedFont_;
  if ((state_ & kButtonHot) && hotTextColor_ != 0) color = hotTextColor_;
  if ((state_ & kButtonHot) && hotFont_ != -1) font = hotFont_;
  if (IsFocused() && focusedTextColor_ != 0) color = focusedTextColor_;
  if (IsFocused() && focusedFont_ != -1) font = focusedFont_;
  const RECT padding = GetTextPadding();
  RECT rc = MakeRect(item_.left + padding.left, item_.top + padding.top, item_.right - padding.right,
                     item_.bottom - padding.bottom);
  DrawLabelText(dc, rc, color, font, textStyle_);
}

void CButtonUI::PaintBkColor(HDC dc) {
  DWORD color = 0;
  if ((state_ & kButtonDisabled) && disabledBkColor_ != 0) {
    color = disabledBkColor_;
  } else if ((state_ & kButtonPushed) && pushedBkColor_ != 0) {
    color = pushedBkColor_;
  } else if ((state_ & kButtonHot) && hotBkColor_ != 0) {
    color = hotBkColor_;
  }
  if (color == 0) {
    CLabelUI::PaintBkColor(dc);
    return;
  }
  CRenderEngine::DrawColor(dc, paintRect_, AdjustColor(color));
}

void CButtonUI::PaintBorder(HDC dc) {
  DWORD color = 0;
  if ((state_ & kButtonDisabled) && disabledBorderColor_ != 0) {
    color = disabledBorderColor_;
  } else if ((state_ & kButtonPushed) && pushedBorderColor_ != 0) {
    color = pushedBorderColor_;
  } else if ((state_ & kButtonHot) && hotBorderColor_ != 0) {
    color = hotBorderColor_;
  }
  if (color == 0) {
    CLabelUI::PaintBorder(dc);
    return;
  }
  // The base border shape, drawn in the state's colour.
  const DWORD saved = borderColor_;
  borderColor_ = color;
  CLabelUI::PaintBorder(dc);
  borderColor_ = saved;
}

void CButtonUI::PaintForeImage(HDC dc) {
  if ((state_ & kButtonPushed) && !pushedForeImage_.empty() && DrawImage(dc, pushedForeImage_)) return;
  if ((state_ & kButtonHot) && !hotForeImage_.empty() && DrawImage(dc, hotForeImage_)) return;
  CLabelUI::PaintForeImage(dc);
}

}  // namespace Veneer
