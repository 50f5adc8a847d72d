// The arithmetic of the linear layouts, free of controls and windows: the container hands in its inner
// rectangle and one record per visible, non-floating child, and gets one rectangle per child back.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "veneer/geometry.h"

namespace Veneer {

struct LayoutChild {
  RECT padding{};  // scaled outer margins
  SIZE fixed{};    // scaled fixed size; 0 = not fixed
  SIZE minSize{};  // scaled limits
  SIZE maxSize{9999, 9999};
  // The child's size for the given limits (its EstimateSize); 0 along the layout axis means "stretch".
  std::function<SIZE(SIZE available)> estimate;
};

struct LinearLayoutResult {
  std::vector<RECT> positions;  // one per child, in order
  SIZE needed{};                // extent the children need (for scroll bars)
};

// Child alignment across the axis: 0 left / top, 1 centre, 2 right; vertical alignment 0 top, 4 centre,
// 8 bottom. Along the axis, free space is distributed by the alignment only when nothing stretches.
LinearLayoutResult LayoutVertical(const RECT& inner, int childPadding, int childAlign, int childVAlign,
                                  const std::vector<LayoutChild>& children);
LinearLayoutResult LayoutHorizontal(const RECT& inner, int childPadding, int childAlign, int childVAlign,
                                    const std::vector<LayoutChild>& children);

// A progress bar's range made drawable: the maximum above the minimum (at the very top of the int range
// the minimum gives way), the value inside the range.
void NormalizeProgressRange(int& min, int& max, int& value);
// How much of extent part of the range [min, max] covers: part * extent / (max - min), truncated, without
// overflow anywhere in the int range. singlePrecision computes it in float, as the fore image does.
long ProgressExtent(int64_t part, int min, int max, long extent, bool singlePrecision);

}  // namespace Veneer
