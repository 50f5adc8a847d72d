// The wall-clock time, as precisely as the running Windows can tell it.
#pragma once

#include <windows.h>

// GetSystemTimePreciseAsFileTime where the system has it (Windows 8 and later); on Windows 7
// GetSystemTimeAsFileTime, the time of the last clock tick (up to about 16 ms old).
[[nodiscard]] FILETIME PreciseSystemTimeAsFileTime() noexcept;
