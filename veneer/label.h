// CLabelUI: a control that draws one text (the window titles, the message box prompt, the percentage
// above the progress bar), with its colours, font, alignment, padding and an optional measured size.
#pragma once

#include "veneer/control.h"

namespace Veneer {

// Text style bits (the platform's DT_* values) the labels use.
constexpr UINT kTextCenter = DT_CENTER;             // 0x1
constexpr UINT kTextRight = DT_RIGHT;               // 0x2
constexpr UINT kTextVCenter = DT_VCENTER;           // 0x4
constexpr UINT kTextBottom = DT_BOTTOM;             // 0x8
constexpr UINT kTextWordBreak = DT_WORDBREAK;       // 0x10
constexpr UINT kTextSingleLine = DT_SINGLELINE;     // 0x20
constexpr UINT kTextNoClip = DT_NOCLIP;             // 0x100
constexpr UINT kTextCalcRect = DT_CALCRECT;         // 0x400
constexpr UINT kTextNoPrefix = DT_NOPREFIX;         // 0x800
constexpr UINT kTextEditControl = DT_EDITCONTROL;   // 0x2000
constexpr UINT kTextEndEllipsis = DT_END_ELLIPSIS;  // 0x8000

class CLabelUI : public CControlUI {
 public:
  CLabelUI();

  const wchar_t* GetClass() const override;
  void* GetInterface(const wchar_t* name) override;
  UINT GetControlFlags() const override;

  void SetText(const std::wstring& text) override;
  void SetTextColor(DWORD color);
  [[nodiscard]] DWORD GetTextColor() const { return textColor_; }
  void SetDisabledTextColor(DWORD color);
  [[nodiscard]] DWORD GetDisabledTextColor() const { return disabledTextColor_; }
  void SetFont(int font);
  [[nodiscard]] int GetFont() const { return font_; }
  void SetTextStyle(UINT style);
  [[nodiscard]] UINT GetTextStyle() const { return textStyle_; }
  void SetTextPadding(RECT padding);
  // Scaled by the DPI factor when a manager is attached.
  [[nodiscard]] RECT GetTextPadding() const;
  void SetShowHtml(bool show);
  [[nodiscard]] bool IsShowHtml() const { return showHtml_; }
  // Small texts in a GDI+ window ask for GDI: hinted to the pixel grid they stay sharp at every scale.
  void SetGdiText(bool gdi);
  [[nodiscard]] bool IsGdiText() const { return gdiText_; }
  void SetAutoCalcWidth(bool autoWidth);
  [[nodiscard]] bool GetAutoCalcWidth() const { return autoCalcWidth_; }
  void SetAutoCalcHeight(bool autoHeight);
  [[nodiscard]] bool GetAutoCalcHeight() const { return autoCalcHeight_; }

  SIZE EstimateSize(SIZE available) override;
  void DoEvent(EventRecord& event) override;
  void PaintText(HDC dc) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;

 protected:
  // Draws text in rc as plain or marked-up text, as the show-HTML flag says.
  void DrawLabelText(HDC dc, RECT& rc, DWORD color, int font, UINT style);
  // Resolves the stored colours that are 0 to the manager's defaults (and keeps the result).
  void ResolveDefaultColors();

  DWORD textColor_ = 0;
  DWORD disabledTextColor_ = 0;
  int font_ = -1;
  UINT textStyle_ = kTextVCenter | kTextSingleLine;
  RECT textPadding_{};
  bool showHtml_ = false;
  bool gdiText_ = false;
  bool autoCalcWidth_ = false;
  bool autoCalcHeight_ = false;

  // Measurement cache of EstimateSize.
  SIZE lastAvailable_{};
  SIZE lastEstimate_{};
  bool needRecalc_ = true;
};

}  // namespace Veneer
