// Text drawing of the render engine: plain text through GDI or GDI+, and text with inline markup.
#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <vector>

#include "veneer/html_text.h"
#include "veneer/render_engine.h"

namespace Veneer {
namespace {

COLORREF ToColorRef(DWORD color) { return RGB((color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF); }

// An icon-font glyph written as "&#xE600;": the first four characters after "&#x", without a trailing
// blank and then a trailing ';', read as hexadecimal.
bool ReadGlyphReference(const std::wstring& text, wchar_t& glyph) {
  const size_t at = text.find(L"&#x");
  if (at == std::wstring::npos) return false;
  std::wstring code = text.substr(at + 3, 4);
  if (!code.empty() && code.back() == L' ') code.pop_back();
  if (!code.empty() && code.back() == L';') code.pop_back();
  glyph = static_cast<wchar_t>(std::wcstoul(code.c_str(), nullptr, 16));
  return true;
}

void DrawWithGdi(HDC dc, CPaintManagerUI* manager, RECT& rc, const std::wstring& text, DWORD color, int font,
                 UINT style) {
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, ToColorRef(color));
  HGDIOBJ oldFont = ::SelectObject(dc, manager->GetFont(font));
  wchar_t glyph = 0;
  if (ReadGlyphReference(text, glyph)) {
    ::DrawTextW(dc, &glyph, 1, &rc, style);
  } else {
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc, style);
  }
  ::SelectObject(dc, oldFont);
}

// False when GDI+ cannot build the font (a face GDI+ does not accept); the caller then draws with GDI.
bool DrawWithGdiplus(HDC dc, CPaintManagerUI* manager, RECT& rc, const std::wstring& text, DWORD color, int font,
                     UINT style) {
  LOGFONTW logFont{};
  if (::GetObjectW(manager->GetFont(font), sizeof(logFont), &logFont) == 0) return false;
  Gdiplus::Font gdiplusFont(dc, &logFont);
  if (gdiplusFont.GetLastStatus() != Gdiplus::Ok) return false;

  Gdiplus::Graphics graphics(dc);
  const int hint = manager->GetGdiplusTextRenderingHint();
  graphics.SetTextRenderingHint(static_cast<Gdiplus::TextRenderingHint>(hint >= 0 && hint <= 5 ? hint : 0));
  graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
  graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
  // Alpha 254, not the colour's own: skins write six-digit colours (alpha 0) and still mean them opaque.
  Gdiplus::SolidBrush brush(Gdiplus::Color(254, (color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF));

  Gdiplus::StringFormat format(Gdiplus::StringFormat::GenericTypographic());
  INT flags = format.GetFormatFlags();
  if (style & DT_END_ELLIPSIS) format.SetTrimming(Gdiplus::StringTrimmingEllipsisCharacter);
  if (style & DT_SINGLELINE) flags |= Gdiplus::StringFormatFlagsNoWrap;
  if (style & DT_NOCLIP) flags |= Gdiplus::StringFormatFlagsNoClip;
  format.SetFormatFlags(flags);
  format.SetHotkeyPrefix((style & DT_NOPREFIX) ? Gdiplus::HotkeyPrefixHide : Gdiplus::HotkeyPrefixShow);
  if (style & DT_CENTER) {
    format.SetAlignment(Gdiplus::StringAlignmentCenter);
  } else if (style & DT_RIGHT) {
    format.SetAlignment(Gdiplus::StringAlignmentFar);
  } else {
    format.SetAlignment(Gdiplus::StringAlignmentNear);
  }
  if (style & DT_VCENTER) {
    format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
  } else if (style & DT_BOTTOM) {
    format.SetLineAlignment(Gdiplus::StringAlignmentFar);
  } else {
    format.SetLineAlignment(Gdiplus::StringAlignmentNear);
  }

  const Gdiplus::RectF area(static_cast<Gdiplus::REAL>(rc.left), static_cast<Gdiplus::REAL>(rc.top),
                            static_cast<Gdiplus::REAL>(Width(rc)), static_cast<Gdiplus::REAL>(Height(rc)));
  if (style & DT_CALCRECT) {
    Gdiplus::RectF bounds;
    graphics.MeasureString(text.c_str(), static_cast<INT>(text.size()), &gdiplusFont, area, &format, &bounds);
    rc.right = rc.left + static_cast<long>(bounds.Width) + 1;
    rc.bottom = rc.top + static_cast<long>(bounds.Height) + 1;
  } else {
    graphics.DrawString(text.c_str(), static_cast<INT>(text.size()), &gdiplusFont, area, &format, &brush);
  }
  return true;
}

}  // namespace

void CRenderEngine::DrawPlainText(HDC dc, CPaintManagerUI* manager, RECT& rc, const std::wstring& text, DWORD color,
                                  int font, UINT style) {
  if (text.empty() || manager == nullptr || dc == nullptr) return;
  if (manager->IsLayered() || manager->IsUseGdiplusText()) {
    if (DrawWithGdiplus(dc, manager, rc, text, color, font, style)) return;
  }
  DrawWithGdi(dc, manager, rc, text, color, font, style);
}

void CRenderEngine::DrawGdiText(HDC dc, CPaintManagerUI* manager, RECT& rc, const std::wstring& text, DWORD color,
                                int font, UINT style) {
  if (text.empty() || manager == nullptr || dc == nullptr) return;
  DrawWithGdi(dc, manager, rc, text, color, font, style);
}

void CRenderEngine::DrawHtmlText(HDC dc, CPaintManagerUI* manager, RECT& rc, const std::wstring& text, DWORD color,
                                 int font, UINT style) {
  if (text.empty() || manager == nullptr || dc == nullptr) return;
  const std::vector<HtmlRun> runs = ParseHtmlRuns(text, color, font);
  const bool measureOnly = (style & DT_CALCRECT) != 0;

  // Pass 1: place every run on its line and measure the lines.
  struct Placed {
    const HtmlRun* run;
    UniqueHfont font;
    SIZE size;
    long x;
    int line;
  };
  std::vector<Placed> placed;
  std::vector<SIZE> lines{MakeSize(0, 0)};
  for (const HtmlRun& run : runs) {
    if (run.lineBreak && !placed.empty()) lines.push_back(MakeSize(0, 0));
    LOGFONTW logFont{};
    ::GetObjectW(manager->GetFont(run.font), sizeof(logFont), &logFont);
    if (run.bold) logFont.lfWeight = FW_BOLD;
    if (run.italic) logFont.lfItalic = TRUE;
    if (run.underline) logFont.lfUnderline = TRUE;
    UniqueHfont runFont(::CreateFontIndirectW(&logFont));
    HGDIOBJ old = ::SelectObject(dc, runFont.Get());
    SIZE extent{};
    ::GetTextExtentPoint32W(dc, run.text.c_str(), static_cast<int>(run.text.size()), &extent);
    if (run.text.empty()) {
      TEXTMETRICW metrics{};
      ::GetTextMetricsW(dc, &metrics);
      extent.cy = metrics.tmHeight;
    }
    ::SelectObject(dc, old);
    SIZE& line = lines.back();
    placed.push_back({&run, std::move(runFont), extent, line.cx, static_cast<int>(lines.size()) - 1});
    line.cx += extent.cx;
    line.cy = std::max(line.cy, extent.cy);
  }
  long totalHeight = 0;
  long widest = 0;
  for (const SIZE& line : lines) {
    totalHeight += line.cy;
    widest = std::max(widest, static_cast<long>(line.cx));
  }
  if (measureOnly) {
    rc.right = rc.left + widest;
    rc.bottom = rc.top + totalHeight;
    return;
  }

  // Pass 2: draw, each line aligned on its own, the block aligned vertically.
  long top = rc.top;
  if (style & DT_VCENTER) top = rc.top + (Height(rc) - totalHeight) / 2;
  if (style & DT_BOTTOM) top = rc.bottom - totalHeight;
  std::vector<long> lineTops;
  for (const SIZE& line : lines) {
    lineTops.push_back(top);
    top += line.cy;
  }
  ::SetBkMode(dc, TRANSPARENT);
  for (const Placed& item : placed) {
    const SIZE& line = lines[item.line];
    long left = rc.left;
    if (style & DT_CENTER) left = rc.left + (Width(rc) - line.cx) / 2;
    if (style & DT_RIGHT) left = rc.right - line.cx;
    HGDIOBJ old = ::SelectObject(dc, item.font.Get());
    ::SetTextColor(dc, ToColorRef(item.run->color));
    const long y = lineTops[item.line] + line.cy - item.size.cy;
    ::ExtTextOutW(dc, left + item.x, y, ETO_CLIPPED, &rc, item.run->text.c_str(),
                  static_cast<UINT>(item.run->text.size()), nullptr);
    ::SelectObject(dc, old);
  }
}

}  // namespace Veneer
