// Rectangles, sizes and points shared by the toolkit's pure code (layout, image geometry, descriptors).
// On Windows these are the platform's own structs; elsewhere (host builds of the parsers for fuzzing)
// layout-compatible stand-ins are declared, so the pure sources compile without the Win32 headers.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
struct RECT {
  long left, top, right, bottom;
};
struct SIZE {
  long cx, cy;
};
struct POINT {
  long x, y;
};
#endif

namespace Veneer {

inline RECT MakeRect(long left, long top, long right, long bottom) {
  RECT rc;
  rc.left = left;
  rc.top = top;
  rc.right = right;
  rc.bottom = bottom;
  return rc;
}
inline SIZE MakeSize(long cx, long cy) {
  SIZE size;
  size.cx = cx;
  size.cy = cy;
  return size;
}
// Coordinates stay within +-2^24 pixels, far beyond any screen, so that sums and differences of a few of
// them never leave the 32-bit range. Code that takes rectangles from skins clamps them to this first.
constexpr long kMaxCoordinate = 1L << 24;
inline long ClampCoordinate(long v) {
  return v < -kMaxCoordinate ? -kMaxCoordinate : v > kMaxCoordinate ? kMaxCoordinate : v;
}
inline RECT ClampCoordinates(const RECT& rc) {
  return MakeRect(ClampCoordinate(rc.left), ClampCoordinate(rc.top), ClampCoordinate(rc.right),
                  ClampCoordinate(rc.bottom));
}
inline SIZE ClampCoordinates(SIZE size) { return MakeSize(ClampCoordinate(size.cx), ClampCoordinate(size.cy)); }
inline long Width(const RECT& rc) { return rc.right - rc.left; }
inline long Height(const RECT& rc) { return rc.bottom - rc.top; }
inline bool IsEmpty(const RECT& rc) { return rc.right <= rc.left || rc.bottom <= rc.top; }
inline bool IsZero(const RECT& rc) { return rc.left == 0 && rc.top == 0 && rc.right == 0 && rc.bottom == 0; }
inline bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline bool Contains(const RECT& rc, POINT pt) {
  return pt.x >= rc.left && pt.x < rc.right && pt.y >= rc.top && pt.y < rc.bottom;
}
// Intersection of two rectangles; false (and an all-zero result) when they do not overlap.
inline bool Intersect(RECT& out, const RECT& a, const RECT& b) {
  RECT r = MakeRect(a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top,
                    a.right < b.right ? a.right : b.right, a.bottom < b.bottom ? a.bottom : b.bottom);
  if (IsEmpty(r)) {
    out = MakeRect(0, 0, 0, 0);
    return false;
  }
  out = r;
  return true;
}
// Smallest rectangle holding both; an empty operand does not count.
inline RECT Union(const RECT& a, const RECT& b) {
  if (IsEmpty(a)) return b;
  if (IsEmpty(b)) return a;
  return MakeRect(a.left < b.left ? a.left : b.left, a.top < b.top ? a.top : b.top,
                  a.right > b.right ? a.right : b.right, a.bottom > b.bottom ? a.bottom : b.bottom);
}
inline RECT Offset(const RECT& rc, long dx, long dy) {
  return MakeRect(rc.left + dx, rc.top + dy, rc.right + dx, rc.bottom + dy);
}

}  // namespace Veneer
