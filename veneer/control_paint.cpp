// CControlUI painting: the fixed order of background colour, images, text and border.
#include "veneer/control.h"
#include "veneer/render_engine.h"

namespace Veneer {

bool CControlUI::Paint(HDC dc, const RECT& paint, CControlUI* stopControl) {
  if (stopControl == this) return false;
  if (!Intersect(paintRect_, paint, item_)) return true;
  return DoPaint(dc, paintRect_, stopControl);
}

bool CControlUI::DoPaint(HDC dc, const RECT& /*paint*/, CControlUI* /*stopControl*/) {
  auto steps = [this, dc] {
    PaintBkColor(dc);
    PaintBkImage(dc);
    PaintStatusImage(dc);
    PaintForeColor(dc);
    PaintForeImage(dc);
    PaintText(dc);
  };
  const SIZE round = GetBorderRound();
  if (round.cx > 0 || round.cy > 0) {
    CRenderClip clip(dc, item_, round.cx, round.cy);
    steps();
  } else {
    steps();
  }
  // Outside the rounded clip: an anti-aliased outline reaches into the pixels its stair steps cut off.
  PaintBorder(dc);
  return true;
}

void CControlUI::PaintBkColor(HDC dc) {
  if (bkColor_ == 0) return;
  const bool vertical = gradient_ != L"hor";
  if (bkColor2_ != 0) {
    if (bkColor3_ != 0) {
      RECT upper = item_;
      RECT lower = item_;
      if (vertical) {
        upper.bottom = lower.top = item_.top + Height(item_) / 2;
      } else {
        upper.right = lower.left = item_.left + Width(item_) / 2;
      }
      CRenderEngine::DrawGradient(dc, upper, AdjustColor(bkColor_), AdjustColor(bkColor2_), vertical, 8);
      CRenderEngine::DrawGradient(dc, lower, AdjustColor(bkColor2_), AdjustColor(bkColor3_), vertical, 8);
    } else {
      CRenderEngine::DrawGradient(dc, item_, AdjustColor(bkColor_), AdjustColor(bkColor2_), vertical, 16);
    }
  } else if ((bkColor_ >> 24) == 0xFF) {
    CRenderEngine::DrawColor(dc, paintRect_, AdjustColor(bkColor_));
  } else {
    // A translucent colour is blended over the whole item; the clip keeps it to the repainted part.
    CRenderEngine::DrawColor(dc, item_, AdjustColor(bkColor_));
  }
}

bool CControlUI::DrawImage(HDC dc, const std::wstring& descriptor, const wchar_t* modifier) {
  if (manager_ == nullptr || descriptor.empty()) return false;
  const TDrawInfo* info = manager_->GetDrawInfo(descriptor.c_str(), modifier);
  return CRenderEngine::DrawImageInfo(dc, manager_, item_, paintRect_, info);
}

void CControlUI::PaintBkImage(HDC dc) {
  if (!bkImage_.empty()) DrawImage(dc, bkImage_);
}

void CControlUI::PaintStatusImage(HDC /*dc*/) {}

void CControlUI::PaintForeColor(HDC dc) {
  if (foreColor_ != 0) CRenderEngine::DrawColor(dc, item_, AdjustColor(foreColor_));
}

void CControlUI::PaintForeImage(HDC dc) {
  if (!foreImage_.empty()) DrawImage(dc, foreImage_);
}

void CControlUI::PaintText(HDC /*dc*/) {}

void CControlUI::PaintBorder(HDC dc) {
  if (borderColor_ == 0 && focusBorderColor_ == 0) return;
  const DWORD color = AdjustColor((focused_ && focusBorderColor_ != 0) ? focusBorderColor_ : borderColor_);
  const int size = GetBorderSize();
  const SIZE round = GetBorderRound();
  if (size > 0 && (round.cx > 0 || round.cy > 0)) {
    // Windows that draw their text with GDI+ (the layered skins) get outlines as smooth as their artwork.
    const bool smooth = manager_ != nullptr && (manager_->IsLayered() || manager_->IsUseGdiplusText());
    if (smooth && borderStyle_ == PS_SOLID) {
      CRenderEngine::DrawSmoothRoundRect(dc, item_, size, round.cx, round.cy, color);
    } else {
      CRenderEngine::DrawRoundRect(dc, item_, size, round.cx, round.cy, color, borderStyle_);
    }
    return;
  }
  if (focused_ && focusBorderColor_ != 0 && size > 0) {
    CRenderEngine::DrawRect(dc, item_, size, color, borderStyle_);
    return;
  }
  const RECT sides = Scale(borderSides_);
  if (sides.left > 0 || sides.top > 0 || sides.right > 0 || sides.bottom > 0) {
    if (sides.left > 0)
      CRenderEngine::DrawLine(dc, MakeRect(item_.left, item_.top, item_.left, item_.bottom), sides.left, color,
                              borderStyle_);
    if (sides.top > 0)
      CRenderEngine::DrawLine(dc, MakeRect(item_.left, item_.top, item_.right, item_.top), sides.top, color,
                              borderStyle_);
    if (sides.right > 0)
      CRenderEngine::DrawLine(dc, MakeRect(item_.right - 1, item_.top, item_.right - 1, item_.bottom), sides.right,
                              color, borderStyle_);
    if (sides.bottom > 0)
      CRenderEngine::DrawLine(dc, MakeRect(item_.left, item_.bottom - 1, item_.right, item_.bottom - 1), sides.bottom,
                              color, borderStyle_);
  } else if (size >= 1) {
    CRenderEngine::DrawRect(dc, item_, size, color, borderStyle_);
  }
}

void CControlUI::DoPostPaint(HDC /*dc*/, const RECT& /*paint*/) {}

}  // namespace Veneer
