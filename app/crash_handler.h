// Crash capture: a process-wide vectored exception handler that writes a minidump next to the executable
// ("logs\installer_crash.dmp") when the process hits a fatal hardware exception. It neither recovers from
// the fault nor shows anything; the exception goes on to its usual end afterwards.
#pragma once

#include <windows.h>

// Writes a dump for an access violation, an illegal instruction or a stack overflow and lets the search for
// a handler go on; every other exception is left alone.
LONG WINAPI CrashHandler(EXCEPTION_POINTERS* info) noexcept;

// Writes "installer_crash.dmp" into the "logs" folder beside the executable, replacing an earlier dump. Does
// nothing when that folder does not exist; it is never created here.
void WriteCrashDump(EXCEPTION_POINTERS* info) noexcept;

using AddExceptionHandlerFunction = PVOID(WINAPI*)(ULONG first, PVECTORED_EXCEPTION_HANDLER handler);

// Owns one registration of CrashHandler, called before every other vectored handler, and removes it when
// destroyed. A failed registration is logged and leaves the process without crash capture.
class CrashHandlerRegistration {
 public:
  explicit CrashHandlerRegistration(AddExceptionHandlerFunction add = &::AddVectoredExceptionHandler) noexcept;
  CrashHandlerRegistration(const CrashHandlerRegistration&) = delete;
  CrashHandlerRegistration& operator=(const CrashHandlerRegistration&) = delete;
  ~CrashHandlerRegistration();

  [[nodiscard]] bool IsRegistered() const noexcept { return handle_ != nullptr; }

 private:
  PVOID handle_ = nullptr;
};

// Registers CrashHandler once per process. The registration lives in a function-local static, so it is
// removed during static destruction at exit, before any static made earlier (the log guard of start-up).
void InstallCrashHandler() noexcept;
