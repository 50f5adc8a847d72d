// Layout arithmetic: a linear layout of up to 16 children with any paddings, fixed sizes, limits and
// estimates, both ways, at some DPI scale; and the fill of a progress bar over any range.
#include <climits>
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "veneer/dpi.h"
#include "veneer/layout_math.h"

using namespace Veneer;

namespace {

RECT ReadRect(FuzzInput& input) {
  const long left = input.Number();
  const long top = input.Number();
  const long right = input.Number();
  return MakeRect(left, top, right, input.Number());
}

SIZE ReadSize(FuzzInput& input) {
  const long cx = input.Number();
  return MakeSize(cx, input.Number());
}

void Progress(FuzzInput& input) {
  int min = input.Number();
  int max = input.Number();
  int value = input.Number();
  const long extent = input.Number();
  NormalizeProgressRange(min, max, value);
  if (max <= min || value < min || value > max) __builtin_trap();
  for (bool singlePrecision : {false, true}) {
    const long filled = ProgressExtent(static_cast<int64_t>(value) - min, min, max, extent, singlePrecision);
    const long rest = ProgressExtent(static_cast<int64_t>(max) - value, min, max, extent, singlePrecision);
    if (extent >= 0 && (filled < 0 || filled > extent || rest < 0 || rest > extent)) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  Progress(input);
  static const int kDpis[] = {96, 120, 144, 192};
  CDPI dpi;
  dpi.SetDPI(kDpis[input.Byte() % 4]);
  const RECT inner = ReadRect(input);
  const int childPadding = dpi.Scale(input.Number());
  const int align = input.Byte() % 3;
  const int valign = (input.Byte() % 3) * 4;
  std::vector<LayoutChild> children(input.Byte() % 17);
  for (LayoutChild& child : children) {
    child.padding = dpi.Scale(ReadRect(input));
    child.fixed = dpi.Scale(ReadSize(input));
    child.minSize = dpi.Scale(ReadSize(input));
    if (input.Byte() & 1) child.maxSize = dpi.Scale(ReadSize(input));
    // The estimate is the fixed size, the available size, or a size of its own (0 along the axis stretches).
    const uint8_t kind = input.Byte() % 3;
    const SIZE own = dpi.Scale(ReadSize(input));
    const SIZE fixed = child.fixed;
    child.estimate = [kind, own, fixed](SIZE available) { return kind == 0 ? fixed : kind == 1 ? available : own; };
  }
  const auto vertical = LayoutVertical(inner, childPadding, align, valign, children);
  const auto horizontal = LayoutHorizontal(inner, childPadding, align, valign, children);
  if (vertical.positions.size() != children.size() || horizontal.positions.size() != children.size()) __builtin_trap();
  return 0;
}
