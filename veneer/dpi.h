// Per-window DPI scale. Sizes in skins are written for 96 DPI; everything the layouts and painting read
// goes through Scale, so one object decides how a 1-pixel border looks at 150 %.
#pragma once

#include "veneer/geometry.h"

namespace Veneer {

class CDPI {
 public:
  enum Awareness { kUnaware = 0, kSystemAware = 1, kPerMonitorAware = 2 };

  CDPI() = default;

  // Sets the per-monitor factor to dpi * 100 / 96, and the system factor too while it is still unset.
  void SetDPI(int dpi);
  void SetAwareness(Awareness awareness) { awareness_ = awareness; }
  [[nodiscard]] Awareness GetAwareness() const { return awareness_; }
  [[nodiscard]] int GetDPI() const { return dpi_; }
  // The factor in percent that Scale applies (100 when unaware).
  [[nodiscard]] int GetScale() const;

  // v * factor / 100; a non-zero value never scales to 0 (1 stays 1 at 50 %, -1 stays -1).
  [[nodiscard]] int Scale(int value) const;
  [[nodiscard]] SIZE Scale(SIZE size) const;
  // Left and top are scaled; width and height are scaled on their own and added back.
  [[nodiscard]] RECT Scale(const RECT& rc) const;

 private:
  int dpi_ = 96;
  int perMonitorScale_ = 100;
  int systemScale_ = 0;
  Awareness awareness_ = kPerMonitorAware;
};

}  // namespace Veneer
