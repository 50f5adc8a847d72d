#include "veneer/layout_math.h"

#include <algorithm>

namespace Veneer {
namespace {

long Clamp(long value, long low, long high) { return std::max(low, std::min(value, high)); }

enum class Placement { Near, Centre, Far };

// One layout direction: the main axis is the one children are stacked along, the cross axis the other.
struct Axis {
  bool vertical;

  long Main(SIZE size) const { return vertical ? size.cy : size.cx; }
  long Cross(SIZE size) const { return vertical ? size.cx : size.cy; }
  long MainStart(const RECT& r) const { return vertical ? r.top : r.left; }
  long MainEnd(const RECT& r) const { return vertical ? r.bottom : r.right; }
  long CrossStart(const RECT& r) const { return vertical ? r.left : r.top; }
  long CrossEnd(const RECT& r) const { return vertical ? r.right : r.bottom; }
  SIZE Size(long main, long cross) const { return vertical ? MakeSize(cross, main) : MakeSize(main, cross); }
  RECT Rect(long mainStart, long crossStart, long main, long cross) const {
    return vertical ? MakeRect(crossStart, mainStart, crossStart + cross, mainStart + main)
                    : MakeRect(mainStart, crossStart, mainStart + main, crossStart + cross);
  }
};

// Horizontal alignment is 0 / 1 / 2, vertical alignment 0 / 4 / 8.
Placement FromAlign(int align) {
  return align == 1 ? Placement::Centre : align == 2 ? Placement::Far : Placement::Near;
}
Placement FromVAlign(int valign) {
  return valign == 4 ? Placement::Centre : valign == 8 ? Placement::Far : Placement::Near;
}

// crossFromEstimate: a vertical layout sizes a child's width by its estimate (0 fills the width); a
// horizontal one gives each child its maximum height (0 fills the height), whatever the estimate says.
LinearLayoutResult LayoutLinear(const Axis axis, const RECT& r, int childPadding, Placement mainPlacement,
                                Placement crossPlacement, bool crossFromEstimate,
                                const std::vector<LayoutChild>& children) {
  LinearLayoutResult result;
  const long mainExtent = axis.MainEnd(r) - axis.MainStart(r);
  const long crossExtent = axis.CrossEnd(r) - axis.CrossStart(r);
  const int n = static_cast<int>(children.size());
  if (n == 0) return result;
  long neededCross = 0;

  // The limit across the axis leaves the child's side paddings out; the limit along it does not.
  auto crossLimitOf = [&](const LayoutChild& c) {
    const long limit = axis.Cross(c.fixed) > 0 ? axis.Cross(c.fixed) : axis.Cross(c.maxSize);
    return std::min(limit, crossExtent - axis.CrossStart(c.padding) - axis.CrossEnd(c.padding));
  };
  auto mainLimitOf = [&](const LayoutChild& c) {
    const long limit = axis.Main(c.fixed) > 0 ? axis.Main(c.fixed) : axis.Main(c.maxSize);
    return std::min(limit, mainExtent);
  };

  // Pass 1: measure. Fixed extents and all paddings along the axis add to the fixed total; a child whose
  // estimated extent along the axis is 0 stretches.
  long fixedTotal = 0;
  int stretchCount = 0;
  for (const LayoutChild& c : children) {
    const RECT& p = c.padding;
    const SIZE size = c.estimate(axis.Size(mainLimitOf(c), crossLimitOf(c)));
    if (axis.Main(size) == 0) {
      ++stretchCount;
    } else {
      fixedTotal += Clamp(axis.Main(size), axis.Main(c.minSize), axis.Main(c.maxSize));
    }
    fixedTotal += axis.MainStart(p) + axis.MainEnd(p);
    const long cross = Clamp(std::max<long>(axis.Cross(size), 0), axis.Cross(c.minSize), axis.Cross(c.maxSize));
    neededCross = std::max(neededCross, axis.CrossStart(p) + axis.CrossEnd(p) + cross);
  }
  fixedTotal += (n - 1) * childPadding;

  // Pass 2: the share of each stretch child, and where the first child starts.
  const long share = stretchCount > 0 ? std::max<long>(0, (mainExtent - fixedTotal) / stretchCount) : 0;
  long position = axis.MainStart(r);
  if (stretchCount == 0) {
    if (mainPlacement == Placement::Centre) position += (mainExtent - fixedTotal) / 2;
    if (mainPlacement == Placement::Far) position += mainExtent - fixedTotal;
  }

  // Pass 3: place. The last stretch child takes whatever the rounding of the share left over.
  long remaining = mainExtent;
  long remainingFixed = fixedTotal;
  int stretchSeen = 0;
  long neededMain = 0;
  for (int i = 0; i < n; ++i) {
    const LayoutChild& c = children[i];
    const RECT& p = c.padding;
    const long nearPadding = axis.MainStart(p);
    const long farPadding = axis.MainEnd(p);
    remaining -= nearPadding;
    remainingFixed -= nearPadding + farPadding;
    if (i > 0) remainingFixed -= childPadding;

    const long crossLimit = crossLimitOf(c);
    const SIZE size = c.estimate(axis.Size(std::min(mainLimitOf(c), remaining), crossLimit));
    long main = axis.Main(size);
    if (main == 0) {
      ++stretchSeen;
      main = share;
      if (stretchSeen == stretchCount) main = std::max<long>(0, remaining - farPadding - remainingFixed);
      main = Clamp(main, axis.Main(c.minSize), axis.Main(c.maxSize));
    } else {
      main = Clamp(main, axis.Main(c.minSize), axis.Main(c.maxSize));
      remainingFixed -= main;
    }

    const long crossPaddings = axis.CrossStart(p) + axis.CrossEnd(p);
    long cross = crossFromEstimate ? std::max<long>(axis.Cross(size), 0) : axis.Cross(c.maxSize);
    if (cross == 0) cross = crossExtent - crossPaddings;
    if (!crossFromEstimate) cross = std::max<long>(cross, 0);
    cross = std::max(std::min(cross, crossLimit), axis.Cross(c.minSize));

    // Centred children ignore their side paddings.
    long crossStart;
    if (crossPlacement == Placement::Centre) {
      crossStart = (axis.CrossStart(r) + axis.CrossEnd(r)) / 2 - cross / 2;
    } else if (crossPlacement == Placement::Far) {
      crossStart = axis.CrossEnd(r) - axis.CrossEnd(p) - cross;
    } else {
      crossStart = axis.CrossStart(r) + axis.CrossStart(p);
    }
    result.positions.push_back(axis.Rect(position + nearPadding, crossStart, main, cross));

    position += nearPadding + main + farPadding + childPadding;
    remaining -= main + farPadding + childPadding;
    neededMain += nearPadding + main + farPadding;
  }
  result.needed = axis.Size((n - 1) * childPadding + neededMain, neededCross);
  return result;
}

}  // namespace

LinearLayoutResult LayoutVertical(const RECT& inner, int childPadding, int childAlign, int childVAlign,
                                  const std::vector<LayoutChild>& children) {
  return LayoutLinear(Axis{true}, inner, childPadding, FromVAlign(childVAlign), FromAlign(childAlign), true,
                      children);
}

LinearLayoutResult LayoutHorizontal(const RECT& inner, int childPadding, int childAlign, int childVAlign,
                                    const std::vector<LayoutChild>& children) {
  return LayoutLinear(Axis{false}, inner, childPadding, FromAlign(childAlign), FromVAlign(childVAlign), false,
                      children);
}

}  // namespace Veneer
