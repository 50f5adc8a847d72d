#include "veneer/dpi.h"

#include <algorithm>
#include <climits>

namespace Veneer {

void CDPI::SetDPI(int dpi) {
  dpi_ = dpi;
  perMonitorScale_ = dpi * 100 / 96;
  if (systemScale_ == 0) systemScale_ = perMonitorScale_;
}

int CDPI::GetScale() const {
  switch (awareness_) {
    case kPerMonitorAware: return perMonitorScale_;
    case kSystemAware: return systemScale_ != 0 ? systemScale_ : 100;
    default: return 100;
  }
}

namespace {

// Scaled values that leave the int range stop at its ends instead of wrapping around.
int ToInt(long long value) {
  return static_cast<int>(std::max<long long>(INT_MIN, std::min<long long>(value, INT_MAX)));
}

}  // namespace

int CDPI::Scale(int value) const {
  if (awareness_ == kUnaware) return value;
  const int scaled = ToInt(static_cast<long long>(value) * GetScale() / 100);
  if (scaled == 0 && value > 0) return 1;
  if (scaled == 0 && value < 0) return -1;
  return scaled;
}

SIZE CDPI::Scale(SIZE size) const { return MakeSize(Scale(size.cx), Scale(size.cy)); }

RECT CDPI::Scale(const RECT& rc) const {
  const long long left = Scale(static_cast<int>(rc.left));
  const long long top = Scale(static_cast<int>(rc.top));
  const int width = ToInt(static_cast<long long>(rc.right) - rc.left);
  const int height = ToInt(static_cast<long long>(rc.bottom) - rc.top);
  return MakeRect(static_cast<int>(left), static_cast<int>(top), ToInt(left + Scale(width)),
                  ToInt(top + Scale(height)));
}

}  // namespace Veneer
