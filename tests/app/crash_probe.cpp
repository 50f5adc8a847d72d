// A child program for the crash-capture tests: it registers the crash handler as the installer's start-up
// does, prints its thread id, and then ends the way the first argument asks.
#include <windows.h>

#include <cstdio>
#include <cstdint>
#include <string>

#include "app/crash_handler.h"

namespace {

// Read through a volatile so that the compiler cannot see the address and turn the write into a trap.
volatile std::uintptr_t faultAddress = 0x10;

void WriteToUnmappedMemory() { *reinterpret_cast<volatile int*>(faultAddress) = 1; }

// Called through a volatile pointer so that the compiler cannot turn the recursion into a loop; the bound
// lies far beyond any thread's stack.
int Recurse(int depth);
int (*volatile recurse)(int) = &Recurse;

int Recurse(int depth) {
  volatile char frame[4096];
  frame[0] = static_cast<char>(depth);
  return depth < (1 << 30) ? recurse(depth + 1) + frame[0] : frame[0];
}

// Lets execution go on after a software-raised access violation, so that a handler later in the chain can be
// seen to run after the crash handler.
LONG WINAPI ResumeRaisedAccessViolation(EXCEPTION_POINTERS* info) {
  return info->ExceptionRecord->ExceptionCode == EXCEPTION_ACCESS_VIOLATION ? EXCEPTION_CONTINUE_EXECUTION
                                                                             : EXCEPTION_CONTINUE_SEARCH;
}

// Ends the process with the exception code once no handler has taken the fault. Without it the system would
// start its debugger, which opens a crash dialog and waits whenever a display is at hand.
LONG WINAPI EndWithExceptionCode(EXCEPTION_POINTERS*) { return EXCEPTION_EXECUTE_HANDLER; }

// Made before the crash handler is registered, so destroyed after it has been removed at exit.
struct FaultAtExit {
  ~FaultAtExit() { WriteToUnmappedMemory(); }
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  ::SetUnhandledExceptionFilter(&EndWithExceptionCode);
  if (mode == L"fault-at-exit") static FaultAtExit faultAtExit;
  // Registered first with "first" set, so it would run before the crash handler if the crash handler did not
  // also ask to be first.
  if (mode == L"handled") ::AddVectoredExceptionHandler(1, &ResumeRaisedAccessViolation);

  InstallCrashHandler();
  std::printf("thread=%lu\n", ::GetCurrentThreadId());
  std::fflush(stdout);

  if (mode == L"access-violation") WriteToUnmappedMemory();
  if (mode == L"illegal-instruction") __builtin_trap();
  if (mode == L"stack-overflow") return Recurse(0);
  if (mode == L"raise") ::RaiseException(0xE0000051, 0, 0, nullptr);
  if (mode == L"breakpoint") ::DebugBreak();
  if (mode == L"handled") {
    ::RaiseException(EXCEPTION_ACCESS_VIOLATION, 0, 0, nullptr);
    std::printf("resumed\n");
  }
  return 0;
}
