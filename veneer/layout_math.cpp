#include "veneer/layout_math.h"

#include <algorithm>
#include <climits>

namespace Veneer {
namespace {

// Sums and positions are kept in 64 bits: a skin may give any size, and many children of large sizes
// must not wrap around. Only the results are brought back into the toolkit's coordinate range.
using Coord = int64_t;
Coord Clamp(Coord value, Coord low, Coord high) { return std::max(low, std::min(value, high)); }
long ToLong(Coord value) { return static_cast<long>(Clamp(value, -kMaxCoordinate, kMaxCoordinate)); }

enum class Placement { Near, Centre, Far };

// One layout direction: the main axis is the one children are stacked along, the cross axis the other.
struct Axis {
  bool vertical;

  Coord Main(SIZE size) const { return vertical ? size.cy : size.cx; }
  Coord Cross(SIZE size) const { return vertical ? size.cx : size.cy; }
  Coord MainStart(const RECT& r) const { return vertical ? r.top : r.left; }
  Coord MainEnd(const RECT& r) const { return vertical ? r.bottom : r.right; }
  Coord CrossStart(const RECT& r) const { return vertical ? r.left : r.top; }
  Coord CrossEnd(const RECT& r) const { return vertical ? r.right : r.bottom; }
  SIZE Size(Coord main, Coord cross) const {
    return vertical ? MakeSize(ToLong(cross), ToLong(main)) : MakeSize(ToLong(main), ToLong(cross));
  }
  RECT Rect(Coord mainStart, Coord crossStart, Coord main, Coord cross) const {
    const long mainFrom = ToLong(mainStart);
    const long mainTo = ToLong(mainStart + main);
    const long crossFrom = ToLong(crossStart);
    const long crossTo = ToLong(crossStart + cross);
    return vertical ? MakeRect(crossFrom, mainFrom, crossTo, mainTo) : MakeRect(mainFrom, crossFrom, mainTo, crossTo);
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
  const Coord mainExtent = axis.MainEnd(r) - axis.MainStart(r);
  const Coord crossExtent = axis.CrossEnd(r) - axis.CrossStart(r);
  const int n = static_cast<int>(children.size());
  if (n == 0) return result;
  Coord neededCross = 0;

  // The limit across the axis leaves the child's side paddings out; the limit along it does not.
  auto crossLimitOf = [&](const LayoutChild& c) {
    const Coord limit = axis.Cross(c.fixed) > 0 ? axis.Cross(c.fixed) : axis.Cross(c.maxSize);
    return std::min(limit, crossExtent - axis.CrossStart(c.padding) - axis.CrossEnd(c.padding));
  };
  auto mainLimitOf = [&](const LayoutChild& c) {
    const Coord limit = axis.Main(c.fixed) > 0 ? axis.Main(c.fixed) : axis.Main(c.maxSize);
    return std::min(limit, mainExtent);
  };

  // Pass 1: measure. Fixed extents and all paddings along the axis add to the fixed total; a child whose
  // estimated extent along the axis is 0 stretches.
  Coord fixedTotal = 0;
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
    const Coord cross = Clamp(std::max<Coord>(axis.Cross(size), 0), axis.Cross(c.minSize), axis.Cross(c.maxSize));
    neededCross = std::max(neededCross, axis.CrossStart(p) + axis.CrossEnd(p) + cross);
  }
  fixedTotal += static_cast<Coord>(n - 1) * childPadding;

  // Pass 2: the share of each stretch child, and where the first child starts.
  const Coord share = stretchCount > 0 ? std::max<Coord>(0, (mainExtent - fixedTotal) / stretchCount) : 0;
  Coord position = axis.MainStart(r);
  if (stretchCount == 0) {
    if (mainPlacement == Placement::Centre) position += (mainExtent - fixedTotal) / 2;
    if (mainPlacement == Placement::Far) position += mainExtent - fixedTotal;
  }

  // Pass 3: place. The last stretch child takes whatever the rounding of the share left over.
  Coord remaining = mainExtent;
  Coord remainingFixed = fixedTotal;
  int stretchSeen = 0;
  Coord neededMain = 0;
  for (int i = 0; i < n; ++i) {
    const LayoutChild& c = children[i];
    const RECT& p = c.padding;
    const Coord nearPadding = axis.MainStart(p);
    const Coord farPadding = axis.MainEnd(p);
    remaining -= nearPadding;
    remainingFixed -= nearPadding + farPadding;
    if (i > 0) remainingFixed -= childPadding;

    const Coord crossLimit = crossLimitOf(c);
    const SIZE size = c.estimate(axis.Size(std::min(mainLimitOf(c), remaining), crossLimit));
    Coord main = axis.Main(size);
    if (main == 0) {
      ++stretchSeen;
      main = share;
      if (stretchSeen == stretchCount) main = std::max<Coord>(0, remaining - farPadding - remainingFixed);
      main = Clamp(main, axis.Main(c.minSize), axis.Main(c.maxSize));
    } else {
      main = Clamp(main, axis.Main(c.minSize), axis.Main(c.maxSize));
      remainingFixed -= main;
    }

    const Coord crossPaddings = axis.CrossStart(p) + axis.CrossEnd(p);
    Coord cross = crossFromEstimate ? std::max<Coord>(axis.Cross(size), 0) : axis.Cross(c.maxSize);
    if (cross == 0) cross = crossExtent - crossPaddings;
    if (!crossFromEstimate) cross = std::max<Coord>(cross, 0);
    cross = std::max(std::min(cross, crossLimit), axis.Cross(c.minSize));

    // Centred children ignore their side paddings.
    Coord crossStart;
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
  result.needed = axis.Size(static_cast<Coord>(n - 1) * childPadding + neededMain, neededCross);
  return result;
}

}  // namespace

LinearLayoutResult LayoutVertical(const RECT& inner, int childPadding, int childAlign, int childVAlign,
                                  const std::vector<LayoutChild>& children) {
  return LayoutLinear(Axis{true}, inner, childPadding, FromVAlign(childVAlign), FromAlign(childAlign), true, children);
}

LinearLayoutResult LayoutHorizontal(const RECT& inner, int childPadding, int childAlign, int childVAlign,
                                    const std::vector<LayoutChild>& children) {
  return LayoutLinear(Axis{false}, inner, childPadding, FromAlign(childAlign), FromVAlign(childVAlign), false,
                      children);
}

void NormalizeProgressRange(int& min, int& max, int& value) {
  if (max <= min) {
    if (min == INT_MAX) min = INT_MAX - 1;
    max = min + 1;
  }
  value = std::max(min, std::min(value, max));
}

long ProgressExtent(int64_t part, int min, int max, long extent, bool singlePrecision) {
  const int64_t range = static_cast<int64_t>(max) - min;
  if (range <= 0) return 0;
  // Parts outside the range (a value not yet normalised) cover nothing or everything.
  part = std::max<int64_t>(0, std::min(part, range));
  if (singlePrecision) {
    const float share = static_cast<float>(part) * static_cast<float>(extent) / static_cast<float>(range);
    // Rounding to float may step past extent itself; the result never does.
    return static_cast<long>(std::max<double>(std::min<double>(share, std::max(0L, extent)), std::min(0L, extent)));
  }
  // part and range stay below 2^32 and |extent| below 2^31, so the product fits.
  const int64_t limitedExtent = std::max<int64_t>(INT32_MIN, std::min<int64_t>(extent, INT32_MAX));
  return static_cast<long>(part * limitedExtent / range);
}

}  // namespace Veneer
