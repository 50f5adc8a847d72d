// What every benchmark program shares: a precise clock, medians and minimums, the name=value lines, and
// a message pump for the windows they time.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace bench {

inline double NowMilliseconds() {
  static const LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER counter;
  ::QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

inline double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

inline double Minimum(const std::vector<double>& values) { return *std::min_element(values.begin(), values.end()); }

// name_ms=median and name_min_ms=minimum, with the given number of decimals.
inline void PrintMilliseconds(const char* name, const std::vector<double>& values, int decimals = 2) {
  std::printf("%s_ms=%.*f\n%s_min_ms=%.*f\n", name, decimals, Median(values), name, decimals, Minimum(values));
  std::fflush(stdout);
}

// Handles whatever is queued for the window (every window of the thread when null).
inline void PumpMessages(HWND window = nullptr) {
  MSG msg;
  while (::PeekMessageW(&msg, window, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

}  // namespace bench
