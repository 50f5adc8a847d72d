// Drawing primitives of the toolkit: image loading and drawing from descriptors, colours, gradients,
// lines and borders, and clip regions. Everything draws into a device context given by the caller.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/unique_resource.h"
#include "veneer/draw_info.h"
#include "veneer/paint_manager.h"

namespace Veneer {

// Restricts drawing to a rectangle (or rounded rectangle) for its lifetime; the previous clip region of
// the device context is restored when it ends. Clips nest: each one is intersected with the current.
class CRenderClip {
 public:
  CRenderClip(HDC dc, const RECT& rc);
  CRenderClip(HDC dc, const RECT& rc, int roundWidth, int roundHeight);
  CRenderClip(const CRenderClip&) = delete;
  CRenderClip& operator=(const CRenderClip&) = delete;
  ~CRenderClip();

 private:
  void Apply(HRGN region);
  HDC dc_;
  UniqueHrgn previous_;
  bool hadPrevious_ = false;
};

// Names the 32-bit top-down pixels behind a device context for its lifetime (the surface a paint draws
// into), so that drawing may work on them directly where that gives the same pixels as GDI.
class CPixelSurfaceScope {
 public:
  struct Surface {
    HDC dc;
    uint32_t* bits;
    SIZE size;
  };
  CPixelSurfaceScope(HDC dc, uint32_t* bits, SIZE size);
  CPixelSurfaceScope(const CPixelSurfaceScope&) = delete;
  CPixelSurfaceScope& operator=(const CPixelSurfaceScope&) = delete;
  ~CPixelSurfaceScope();

 private:
  Surface surface_;
  const Surface* previous_;
};

class CRenderEngine {
 public:
  // Decodes image bytes (PNG, JPEG, BMP, GIF) into a premultiplied DIB section; null when they cannot be
  // decoded. With gdiplus, a GDI+ bitmap sharing the pixels is made as well.
  static std::unique_ptr<TImageInfo> DecodeImage(const uint8_t* bytes, size_t size, uint32_t mask, bool gdiplus);
  // Finds the bytes of an image (resource, resource folder, skin archive, then the plain path) and decodes
  // them. type null or empty means a file.
  static std::unique_ptr<TImageInfo> LoadImage(const std::wstring& name, const wchar_t* type, uint32_t mask,
                                               HINSTANCE module, bool gdiplus);
  // Reads a file from the resource folder or the skin archive, as skin files are read.
  static bool LoadResourceFile(const std::wstring& name, std::vector<uint8_t>& bytes);

  static bool DrawImageInfo(HDC dc, CPaintManagerUI* manager, const RECT& item, const RECT& paint,
                            const TDrawInfo* info, HRGN clip = nullptr);
  static void DrawImage(HDC dc, HBITMAP bitmap, const RECT& dest, const RECT& paint, const RECT& source,
                        const RECT& corners, bool alpha, BYTE fade = 255, bool hole = false, bool xTiled = false,
                        bool yTiled = false);
  static RECT MakeImageDest(const RECT& item, SIZE size, const std::wstring& align, const RECT& padding) {
    return Veneer::MakeImageDest(item, size, align, padding);
  }

  // Fills rc with an ARGB colour; translucent colours are blended.
  static void DrawColor(HDC dc, const RECT& rc, DWORD color);
  // A gradient of steps bands from first to second colour, top to bottom (vertical) or left to right.
  static void DrawGradient(HDC dc, const RECT& rc, DWORD first, DWORD second, bool vertical, int steps);
  static void DrawLine(HDC dc, const RECT& rc, int size, DWORD color, int style = PS_SOLID);
  static void DrawRect(HDC dc, const RECT& rc, int size, DWORD color, int style = PS_SOLID);
  static void DrawRoundRect(HDC dc, const RECT& rc, int size, int width, int height, DWORD color, int style = PS_SOLID);
  // The same outline drawn anti-aliased with GDI+, honouring the colour's alpha: the look of the skins'
  // artwork, where GDI's stair-stepped corners would stand out. width and height are the corner ellipse's.
  static void DrawSmoothRoundRect(HDC dc, const RECT& rc, int size, int width, int height, DWORD color);

  // Draws text in rc with the manager's font `font` and an ARGB colour, honouring the DT_* bits of style
  // (with DT_CALCRECT only measures and widens rc). GDI for plain windows, GDI+ for layered windows and
  // windows set to GDI+ text. Defined in render_text.cpp.
  static void DrawPlainText(HDC dc, CPaintManagerUI* manager, RECT& rc, const std::wstring& text, DWORD color, int font,
                            UINT style);
  // The same text always through GDI, whatever the window: the system's own hinting keeps small text on the
  // pixel grid, where GDI+ smooths it grey. In a layered window the composition makes the text opaque.
  static void DrawGdiText(HDC dc, CPaintManagerUI* manager, RECT& rc, const std::wstring& text, DWORD color, int font,
                          UINT style);
  // Text with inline markup: <b>, <i>, <u>, <c #AARRGGBB>, <f id> (each closed by its </...>) and <n> for a
  // line break.
  static void DrawHtmlText(HDC dc, CPaintManagerUI* manager, RECT& rc, const std::wstring& text, DWORD color, int font,
                           UINT style);

  // The alpha-blend function: msimg32's AlphaBlend, or the toolkit's own blend when it is missing.
  using AlphaBlendProc = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);
  static AlphaBlendProc GetAlphaBlend();
  static BOOL WINAPI SoftwareAlphaBlend(HDC dest, int dx, int dy, int dw, int dh, HDC src, int sx, int sy, int sw,
                                        int sh, BLENDFUNCTION blend);

  // Scaled copies of GDI+ images come from GDI+ itself, or from the toolkit's own resampler where that
  // gives exactly the same pixels on this system (checked once per process against GDI+; true under
  // Wine, not on Windows). GdiplusOnly turns the resampler off, for comparing the two.
  enum class ScalingMode { Automatic, GdiplusOnly };
  static void SetScalingMode(ScalingMode mode);
  // Scales the source part of an image with a GDI+ bitmap to size into bits (size.cx x size.cy
  // premultiplied pixels, cleared first), as a gdiplus descriptor is drawn before it is blended.
  static void ScaleImage(const TImageInfo& image, const RECT& source, SIZE size, uint32_t* bits);
  static bool UsesOwnResampler();

  // A 32-bit top-down DIB section of the given size.
  static HBITMAP CreateDib32(HDC dc, int width, int height, uint32_t** bits);
};

}  // namespace Veneer
