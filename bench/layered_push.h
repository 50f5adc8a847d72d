// The layered push both paint benchmarks time: the system's UpdateLayeredWindowIndirect with a source
// surface (or none, which only moves the window) and an optional dirty rectangle.
#pragma once

#include <windows.h>

namespace bench {

inline void PushLayered(HWND window, HDC source, POINT destination, SIZE size, const RECT* dirty,
                        DWORD flags = ULW_ALPHA, BYTE alphaFormat = AC_SRC_ALPHA) {
  POINT origin = {0, 0};
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, alphaFormat};
  UPDATELAYEREDWINDOWINFO info{};
  info.cbSize = sizeof(info);
  info.pptDst = &destination;
  info.psize = &size;
  info.hdcSrc = source;
  info.pptSrc = &origin;
  info.pblend = &blend;
  info.dwFlags = flags;
  info.prcDirty = dirty;
  ::UpdateLayeredWindowIndirect(window, &info);
}

}  // namespace bench
