#include "veneer/layout_math.h"

#include <algorithm>

namespace Veneer {
namespace {

long Clamp(long value, long low, long high) { return std::max(low, std::min(value, high)); }

}  // namespace

LinearLayoutResult LayoutVertical(const RECT& r, int childPadding, int childAlign, int childVAlign,
                                  const std::vector<LayoutChild>& children) {
  LinearLayoutResult result;
  const long W = Width(r);
  const long H = Height(r);
  const int n = static_cast<int>(children.size());
  if (n == 0) return result;

  // Pass 1: measure. Fixed heights and all vertical paddings add to the fixed total; a child whose
  // estimated height is 0 stretches.
  long fixedTotal = 0;
  int stretchCount = 0;
  for (const LayoutChild& c : children) {
    const RECT& p = c.padding;
    long widthLimit = c.fixed.cx > 0 ? c.fixed.cx : c.maxSize.cx;
    widthLimit = std::min(widthLimit, W - p.left - p.right);
    long heightLimit = c.fixed.cy > 0 ? c.fixed.cy : c.maxSize.cy;
    heightLimit = std::min(heightLimit, H);
    SIZE size = c.estimate(MakeSize(widthLimit, heightLimit));
    if (size.cy == 0) {
      ++stretchCount;
    } else {
      size.cy = Clamp(size.cy, c.minSize.cy, c.maxSize.cy);
      fixedTotal += size.cy;
    }
    fixedTotal += p.top + p.bottom;
    const long width = Clamp(std::max<long>(size.cx, 0), c.minSize.cx, c.maxSize.cx);
    result.needed.cx = std::max(result.needed.cx, p.left + p.right + width);
  }
  fixedTotal += (n - 1) * childPadding;

  // Pass 2: the share of each stretch child, and where the first child starts.
  const long share = stretchCount > 0 ? std::max<long>(0, (H - fixedTotal) / stretchCount) : 0;
  long y = r.top;
  if (stretchCount == 0) {
    if (childVAlign == 4) y += (H - fixedTotal) / 2;
    if (childVAlign == 8) y += H - fixedTotal;
  }

  // Pass 3: place. The last stretch child takes whatever the rounding of the share left over.
  long remainingHeight = H;
  long remainingFixed = fixedTotal;
  int stretchSeen = 0;
  long neededHeight = 0;
  for (int i = 0; i < n; ++i) {
    const LayoutChild& c = children[i];
    const RECT& p = c.padding;
    remainingHeight -= p.top;
    remainingFixed -= p.top + p.bottom;
    if (i > 0) remainingFixed -= childPadding;

    long widthLimit = c.fixed.cx > 0 ? c.fixed.cx : c.maxSize.cx;
    widthLimit = std::min(widthLimit, W - p.left - p.right);
    long heightLimit = c.fixed.cy > 0 ? c.fixed.cy : c.maxSize.cy;
    heightLimit = std::min(std::min(heightLimit, H), remainingHeight);

    SIZE size = c.estimate(MakeSize(widthLimit, heightLimit));
    if (size.cy == 0) {
      ++stretchSeen;
      size.cy = share;
      if (stretchSeen == stretchCount) size.cy = std::max<long>(0, remainingHeight - p.bottom - remainingFixed);
      size.cy = Clamp(size.cy, c.minSize.cy, c.maxSize.cy);
    } else {
      size.cy = Clamp(size.cy, c.minSize.cy, c.maxSize.cy);
      remainingFixed -= size.cy;
    }

    long width = std::max<long>(size.cx, 0);
    if (width == 0) width = W - p.left - p.right;
    width = std::min(width, widthLimit);
    width = std::max(width, c.minSize.cx);

    long left;
    if (childAlign == 1) {
      left = (r.left + r.right) / 2 - width / 2;  // centred children ignore their side paddings
    } else if (childAlign == 2) {
      left = r.right - p.right - width;
    } else {
      left = r.left + p.left;
    }
    const long top = y + p.top;
    result.positions.push_back(MakeRect(left, top, left + width, top + size.cy));

    y += p.top + size.cy + p.bottom + childPadding;
    remainingHeight -= size.cy + p.bottom + childPadding;
    neededHeight += p.top + size.cy + p.bottom;
  }
  result.needed.cy = (n - 1) * childPadding + neededHeight;
  return result;
}

LinearLayoutResult LayoutHorizontal(const RECT& r, int childPadding, int childAlign, int childVAlign,
                                    const std::vector<LayoutChild>& children) {
  LinearLayoutResult result;
  const long W = Width(r);
  const long H = Height(r);
  const int n = static_cast<int>(children.size());
  if (n == 0) return result;

  // Pass 1: measure along x; the estimated height only feeds the needed extent.
  long fixedTotal = 0;
  int stretchCount = 0;
  for (const LayoutChild& c : children) {
    const RECT& p = c.padding;
    long widthLimit = c.fixed.cx > 0 ? c.fixed.cx : c.maxSize.cx;
    widthLimit = std::min(widthLimit, W);
    long heightLimit = c.fixed.cy > 0 ? c.fixed.cy : c.maxSize.cy;
    heightLimit = std::min(heightLimit, H - p.top - p.bottom);
    SIZE size = c.estimate(MakeSize(widthLimit, heightLimit));
    if (size.cx == 0) {
      ++stretchCount;
    } else {
      size.cx = Clamp(size.cx, c.minSize.cx, c.maxSize.cx);
      fixedTotal += size.cx;
    }
    fixedTotal += p.left + p.right;
    const long height = Clamp(std::max<long>(size.cy, 0), c.minSize.cy, c.maxSize.cy);
    result.needed.cy = std::max(result.needed.cy, p.top + p.bottom + height);
  }
  fixedTotal += (n - 1) * childPadding;

  // Pass 2: stretch share and the start of the first column.
  const long share = stretchCount > 0 ? std::max<long>(0, (W - fixedTotal) / stretchCount) : 0;
  long x = r.left;
  if (stretchCount == 0) {
    if (childAlign == 1) x += (W - fixedTotal) / 2;
    if (childAlign == 2) x += W - fixedTotal;
  }

  // Pass 3: place. Heights come from the limits, not from the estimate.
  long remainingWidth = W;
  long remainingFixed = fixedTotal;
  int stretchSeen = 0;
  long neededWidth = 0;
  for (int i = 0; i < n; ++i) {
    const LayoutChild& c = children[i];
    const RECT& p = c.padding;
    remainingWidth -= p.left;
    remainingFixed -= p.left + p.right;
    if (i > 0) remainingFixed -= childPadding;

    long widthLimit = c.fixed.cx > 0 ? c.fixed.cx : c.maxSize.cx;
    widthLimit = std::min(std::min(widthLimit, W), remainingWidth);
    long heightLimit = c.fixed.cy > 0 ? c.fixed.cy : c.maxSize.cy;
    heightLimit = std::min(heightLimit, H - p.top - p.bottom);

    SIZE size = c.estimate(MakeSize(widthLimit, heightLimit));
    if (size.cx == 0) {
      ++stretchSeen;
      size.cx = share;
      if (stretchSeen == stretchCount) size.cx = std::max<long>(0, remainingWidth - p.right - remainingFixed);
      size.cx = Clamp(size.cx, c.minSize.cx, c.maxSize.cx);
    } else {
      size.cx = Clamp(size.cx, c.minSize.cx, c.maxSize.cx);
      remainingFixed -= size.cx;
    }

    long height = c.maxSize.cy;
    if (height == 0) height = H - p.top - p.bottom;
    height = std::max<long>(height, 0);
    height = std::min(height, heightLimit);
    height = std::max(height, c.minSize.cy);

    long top;
    if (childVAlign == 4) {
      top = (r.top + r.bottom) / 2 - height / 2;
    } else if (childVAlign == 8) {
      top = r.bottom - p.bottom - height;
    } else {
      top = r.top + p.top;
    }
    const long left = x + p.left;
    result.positions.push_back(MakeRect(left, top, left + size.cx, top + height));

    x += p.left + size.cx + p.right + childPadding;
    remainingWidth -= size.cx + p.right + childPadding;
    neededWidth += p.left + size.cx + p.right;
  }
  result.needed.cx = (n - 1) * childPadding + neededWidth;
  return result;
}

}  // namespace Veneer
