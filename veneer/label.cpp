#include "veneer/label.h"

#include <cwchar>

#include "veneer/attribute_text.h"
#include "veneer/render_engine.h"

namespace Veneer {

CLabelUI::CLabelUI() = default;

const wchar_t* CLabelUI::GetClass() const { return L"LabelUI"; }

void* CLabelUI::GetInterface(const wchar_t* name) {
  if (name != nullptr && std::wcscmp(name, L"Label") == 0) return static_cast<CLabelUI*>(this);
  return CControlUI::GetInterface(name);
}

UINT CLabelUI::GetControlFlags() const { return IsEnabled() ? kControlFlagSetCursor : 0; }

void CLabelUI::SetText(const std::wstring& text) {
  CControlUI::SetText(text);
  if (autoCalcWidth_ || autoCalcHeight_) NeedParentUpdate();
}

void CLabelUI::SetTextColor(DWORD color) {
  textColor_ = color;
  Invalidate();
}

void CLabelUI::SetDisabledTextColor(DWORD color) {
  disabledTextColor_ = color;
  Invalidate();
}

void CLabelUI::SetFont(int font) {
  font_ = font;
  needRecalc_ = true;
  Invalidate();
}

void CLabelUI::SetTextStyle(UINT style) {
  textStyle_ = style;
  Invalidate();
}

void CLabelUI::SetTextPadding(RECT padding) {
  textPadding_ = padding;
  needRecalc_ = true;
  Invalidate();
}

RECT CLabelUI::GetTextPadding() const { return Scale(textPadding_); }

void CLabelUI::SetShowHtml(bool show) {
  showHtml_ = show;
  Invalidate();
}

void CLabelUI::SetGdiText(bool gdi) {
  gdiText_ = gdi;
  needRecalc_ = true;
  Invalidate();
}

void CLabelUI::SetAutoCalcWidth(bool autoWidth) {
  autoCalcWidth_ = autoWidth;
  Invalidate();
}

void CLabelUI::SetAutoCalcHeight(bool autoHeight) {
  autoCalcHeight_ = autoHeight;
  Invalidate();
}

SIZE CLabelUI::EstimateSize(SIZE available) {
  if (fixedSize_.cx > 0 && fixedSize_.cy > 0) return GetFixedSize();
  // Without a manager there is no font to measure with; nothing is cached until there is one.
  if (manager_ == nullptr) return GetFixedSize();
  if (!needRecalc_ && available.cx == lastAvailable_.cx && available.cy == lastAvailable_.cy) return lastEstimate_;
  lastAvailable_ = available;
  needRecalc_ = false;

  SIZE size = GetFixedSize();
  const RECT padding = GetTextPadding();
  const UINT measureStyle = (textStyle_ & ~(kTextCenter | kTextRight | kTextVCenter | kTextBottom)) | kTextCalcRect;
  if (textStyle_ & kTextSingleLine) {
    if (size.cy == 0) size.cy = padding.top + manager_->GetFontInfo(font_)->metrics.tmHeight + padding.bottom + 8;
    if (autoCalcWidth_ && size.cx == 0) {
      RECT measured = MakeRect(0, 0, 9999, 9999);
      DrawLabelText(manager_->GetPaintDC(), measured, 0, font_, measureStyle);
      size.cx = Width(measured) + padding.left + padding.right;
    }
  } else if (autoCalcHeight_ && size.cy == 0) {
    RECT measured = MakeRect(0, 0, size.cx - padding.left - padding.right, 9999);
    DrawLabelText(manager_->GetPaintDC(), measured, 0, font_, measureStyle);
    size.cy = Height(measured) + padding.top + padding.bottom;
  }
  lastEstimate_ = size;
  return size;
}

void CLabelUI::DoEvent(EventRecord& event) {
  if (event.type == UiEvent::SetFocus) {
    focused_ = true;
    return;
  }
  if (event.type == UiEvent::KillFocus) {
    focused_ = false;
    return;
  }
  CControlUI::DoEvent(event);
}

void CLabelUI::DrawLabelText(HDC dc, RECT& rc, DWORD color, int font, UINT style) {
  if (showHtml_) {
    CRenderEngine::DrawHtmlText(dc, manager_, rc, GetText(), color, font, style);
  } else if (gdiText_) {
    CRenderEngine::DrawGdiText(dc, manager_, rc, GetText(), color, font, style);
  } else {
    CRenderEngine::DrawPlainText(dc, manager_, rc, GetText(), color, font, style);
  }
}

void CLabelUI::ResolveDefaultColors() {
  if (manager_ == nullptr) return;
  if (textColor_ == 0) textColor_ = manager_->GetDefaultFontColor();
  if (disabledTextColor_ == 0) disabledTextColor_ = manager_->GetDefaultDisabledColor();
}

void CLabelUI::PaintText(HDC dc) {
  if (manager_ == nullptr) return;
  ResolveDefaultColors();
  if (GetText().empty()) return;
  const RECT padding = GetTextPadding();
  RECT rc = MakeRect(item_.left + padding.left, item_.top + padding.top, item_.right - padding.right,
                     item_.bottom - padding.bottom);
  DrawLabelText(dc, rc, IsEnabled() ? textColor_ : disabledTextColor_, font_, textStyle_);
}

void CLabelUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (name == nullptr || value == nullptr) return;
  auto is = [name](const wchar_t* candidate) { return EqualsNoCase(name, candidate); };
  // Words are searched in the value, not compared: "centerleft" holds "left", which is tested first.
  auto holds = [value](const wchar_t* word) { return std::wcsstr(value, word) != nullptr; };

  if (is(L"align")) {
    if (holds(L"left")) {
      textStyle_ &= ~(kTextCenter | kTextRight);
    } else if (holds(L"center")) {
      textStyle_ = (textStyle_ & ~kTextRight) | kTextCenter;
    } else if (holds(L"right")) {
      textStyle_ = (textStyle_ & ~kTextCenter) | kTextRight;
    }
  } else if (is(L"valign")) {
    if (holds(L"top")) {
      textStyle_ &= ~(kTextVCenter | kTextBottom);
    } else if (holds(L"vcenter")) {
      textStyle_ = (textStyle_ & ~kTextBottom) | kTextVCenter;
    } else if (holds(L"bottom")) {
      textStyle_ = (textStyle_ & ~kTextVCenter) | kTextBottom;
    }
    // Vertical placement only works on one line.
    textStyle_ = (textStyle_ & ~kTextWordBreak) | kTextSingleLine;
  } else if (is(L"endellipsis")) {
    textStyle_ = ParseBool(value) ? (textStyle_ | kTextEndEllipsis) : (textStyle_ & ~kTextEndEllipsis);
  } else if (is(L"wordbreak")) {
    if (ParseBool(value)) {
      textStyle_ = (textStyle_ & ~kTextSingleLine) | kTextWordBreak | kTextEditControl;
    } else {
      textStyle_ = (textStyle_ & ~(kTextWordBreak | kTextEditControl)) | kTextSingleLine;
    }
  } else if (is(L"noprefix")) {
    textStyle_ = ParseBool(value) ? (textStyle_ | kTextNoPrefix) : (textStyle_ & ~kTextNoPrefix);
  } else if (is(L"font")) {
    SetFont(static_cast<int>(ParseLong(value)));
  } else if (is(L"textcolor")) {
    SetTextColor(ParseColor(value));
  } else if (is(L"disabledtextcolor")) {
    SetDisabledTextColor(ParseColor(value));
  } else if (is(L"textpadding")) {
    SetTextPadding(ParseRect(value));
  } else if (is(L"showhtml")) {
    SetShowHtml(ParseBool(value));
  } else if (is(L"gditext")) {
    SetGdiText(ParseBool(value));
  } else if (is(L"autocalcwidth")) {
    SetAutoCalcWidth(ParseBool(value));
  } else if (is(L"autocalcheight")) {
    SetAutoCalcHeight(ParseBool(value));
  } else {
    CControlUI::SetAttribute(name, value);
  }
}

}  // namespace Veneer
