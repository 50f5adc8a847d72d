#include "app/system_time.h"

namespace {

using GetSystemTimeFunction = VOID(WINAPI*)(LPFILETIME);

// Windows 7's kernel32 has no precise clock, and a program that imports a function its system lacks does not
// start at all. So the precise clock is looked up at run time, and the older one stands in where it is missing.
GetSystemTimeFunction ResolveSystemTimeFunction() noexcept {
  if (HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll")) {
    if (FARPROC precise = ::GetProcAddress(kernel, "GetSystemTimePreciseAsFileTime")) {
      return reinterpret_cast<GetSystemTimeFunction>(reinterpret_cast<void*>(precise));
    }
  }
  return &::GetSystemTimeAsFileTime;
}

}  // namespace

FILETIME PreciseSystemTimeAsFileTime() noexcept {
  static const GetSystemTimeFunction getSystemTime = ResolveSystemTimeFunction();
  FILETIME now = {};
  getSystemTime(&now);
  return now;
}
