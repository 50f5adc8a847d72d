#include "veneer/progress.h"

#include <cwchar>

#include "veneer/attribute_text.h"
#include "veneer/layout_math.h"
#include "veneer/render_engine.h"

namespace Veneer {

CProgressUI::CProgressUI() { textStyle_ = kTextSingleLine | kTextCenter; }

const wchar_t* CProgressUI::GetClass() const { return L"ProgressUI"; }

void* CProgressUI::GetInterface(const wchar_t* name) {
  if (name != nullptr && std::wcscmp(name, L"Progress") == 0) return static_cast<CProgressUI*>(this);
  return CLabelUI::GetInterface(name);
}

void CProgressUI::SetHorizontal(bool horizontal) {
  if (horizontal_ == horizontal) return;
  horizontal_ = horizontal;
  Invalidate();
}

void CProgressUI::SetStretchForeImage(bool stretch) {
  if (stretchForeImage_ == stretch) return;
  stretchForeImage_ = stretch;
  Invalidate();
}

void CProgressUI::SetShowText(bool show) {
  if (showText_ == show) return;
  showText_ = show;
  if (!showText_) SetText(L"");
  UpdateText();
}

void CProgressUI::SetMinValue(int min) {
  min_ = min;
  Invalidate();
}

void CProgressUI::SetMaxValue(int max) {
  max_ = max;
  Invalidate();
}

void CProgressUI::SetValue(int value) {
  if (value == value_ || value < min_ || value > max_) return;
  value_ = value;
  Invalidate();
  UpdateText();
}

void CProgressUI::UpdateText() {
  if (!showText_) return;
  const double range = static_cast<double>(max_) - min_;
  const double percent = range != 0 ? (static_cast<double>(value_) - min_) * 100.0 / range : 0.0;
  wchar_t text[64];
  std::swprintf(text, 64, L"%.0f%%", percent);
  SetText(text);
}

void CProgressUI::Normalize() { NormalizeProgressRange(min_, max_, value_); }

void CProgressUI::PaintForeColor(HDC dc) {
  if (foreColor_ == 0) return;
  Normalize();
  RECT fill = item_;
  if (horizontal_) {
    fill.right = item_.left + ProgressExtent(static_cast<int64_t>(value_) - min_, min_, max_, Width(item_), false);
  } else {
    // The filled part sits at the bottom, as with the foreground image.
    fill.top = item_.top + ProgressExtent(static_cast<int64_t>(max_) - value_, min_, max_, Height(item_), false);
  }
  CRenderEngine::DrawColor(dc, fill, AdjustColor(foreColor_));
}

void CProgressUI::PaintForeImage(HDC dc) {
  Normalize();
  const long width = Width(item_);
  const long height = Height(item_);
  RECT fill = MakeRect(0, 0, width, height);
  if (horizontal_) {
    fill.right = ProgressExtent(static_cast<int64_t>(value_) - min_, min_, max_, width, true);
  } else {
    fill.top = ProgressExtent(static_cast<int64_t>(max_) - value_, min_, max_, height, true);
  }
  if (foreImage_.empty()) return;

  // The destination stays in device pixels: descriptors place dest relative to the item without
  // scaling it, so a fill converted back to 96-DPI units would cover only part of the bar at 150 %.
  // The source of a cut (not stretched) image is in image pixels, i.e. the unscaled numbers.
  const int scale = manager_ != nullptr ? manager_->GetDPIObj()->GetScale() : 100;
  const RECT unscaled =
      MakeRect(fill.left * 100 / scale, fill.top * 100 / scale, fill.right * 100 / scale, fill.bottom * 100 / scale);
  wchar_t modifier[160];
  if (stretchForeImage_) {
    std::swprintf(modifier, 160, L"dest='%ld,%ld,%ld,%ld'", fill.left, fill.top, fill.right, fill.bottom);
  } else {
    std::swprintf(modifier, 160, L"dest='%ld,%ld,%ld,%ld' source='%ld,%ld,%ld,%ld'", fill.left, fill.top, fill.right,
                  fill.bottom, unscaled.left, unscaled.top, unscaled.right, unscaled.bottom);
  }
  foreImageModifier_ = modifier;
  DrawImage(dc, foreImage_, foreImageModifier_.c_str());
}

void CProgressUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (name == nullptr || value == nullptr) return;
  auto is = [name](const wchar_t* candidate) { return EqualsNoCase(name, candidate); };
  if (is(L"hor")) {
    SetHorizontal(ParseBool(value));
  } else if (is(L"min")) {
    SetMinValue(static_cast<int>(ParseLong(value)));
  } else if (is(L"max")) {
    SetMaxValue(static_cast<int>(ParseLong(value)));
  } else if (is(L"value")) {
    SetValue(static_cast<int>(ParseLong(value)));
  } else if (is(L"isstretchfore")) {
    SetStretchForeImage(ParseBool(value));
  } else if (is(L"showtext")) {
    SetShowText(ParseBool(value));
  } else {
    CLabelUI::SetAttribute(name, value);
  }
}

}  // namespace Veneer
