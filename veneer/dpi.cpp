#include "veneer/dpi.h"

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

int CDPI::Scale(int value) const {
  if (awareness_ == kUnaware) return value;
  const int scaled = static_cast<int>(static_cast<long long>(value) * GetScale() / 100);
  if (scaled == 0 && value > 0) return 1;
  if (scaled == 0 && value < 0) return -1;
  return scaled;
}

SIZE CDPI::Scale(SIZE size) const { return MakeSize(Scale(size.cx), Scale(size.cy)); }

RECT CDPI::Scale(const RECT& rc) const {
  const long left = Scale(rc.left);
  const long top = Scale(rc.top);
  return MakeRect(left, top, left + Scale(rc.right - rc.left), top + Scale(rc.bottom - rc.top));
}

}  // namespace Veneer
