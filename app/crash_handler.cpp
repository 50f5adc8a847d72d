#include "app/crash_handler.h"

#include <dbghelp.h>
#include <spdlog/spdlog.h>

#include <string>

#include "app/system_info.h"
#include "app/text_encoding.h"
#include "app/unique_resource.h"

namespace {

constexpr char kDumpFolder[] = "\\logs\\";
constexpr char kDumpFileName[] = "installer_crash.dmp";
constexpr SIZE_T kWriterStackBytes = 1024 * 1024;
// Bounded, so that a writer that can never start (the faulting thread holding the loader lock) delays the
// crash instead of hanging the process; a normal dump takes well under a second.
constexpr DWORD kWriterWaitMs = 30000;

bool IsFatalHardwareException(DWORD code) {
  return code == EXCEPTION_ACCESS_VIOLATION || code == EXCEPTION_ILLEGAL_INSTRUCTION ||
         code == EXCEPTION_STACK_OVERFLOW;
}

}  // namespace

LONG WINAPI CrashHandler(EXCEPTION_POINTERS* info) noexcept {
  if (info == nullptr || info->ExceptionRecord == nullptr) return EXCEPTION_CONTINUE_SEARCH;
  if (!IsFatalHardwareException(info->ExceptionRecord->ExceptionCode)) return EXCEPTION_CONTINUE_SEARCH;
  WriteCrashDump(info);
  // A vectored handler resumes the program only with EXCEPTION_CONTINUE_EXECUTION; this value lets the
  // search go on to the frame-based handlers, and without one the process ends as it would have.
  return EXCEPTION_EXECUTE_HANDLER;
}

namespace {

void WriteDumpFile(EXCEPTION_POINTERS* info, DWORD faultingThreadId) {
  const std::string path = WideToAnsi(GetExeDirectory()) + kDumpFolder + kDumpFileName;
  // No sharing: a second thread faulting at the same time fails here instead of writing into this dump.
  UniqueFileHandle file(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;

  MINIDUMP_EXCEPTION_INFORMATION exception{};
  exception.ThreadId = faultingThreadId;
  exception.ExceptionPointers = info;
  exception.ClientPointers = FALSE;
  ::MiniDumpWriteDump(::GetCurrentProcess(), ::GetCurrentProcessId(), file.Get(), MiniDumpNormal, &exception, nullptr,
                      nullptr);
}

// A stack overflow handed to the writer thread. The fault is copied into static storage, so a writer that
// outlasts the faulting thread's wait never reads that thread's released stack; one such dump at a time.
struct OverflowDump {
  EXCEPTION_RECORD record;
  CONTEXT context;
  EXCEPTION_POINTERS pointers;
  DWORD faultingThreadId;
};
OverflowDump overflowDump;
LONG overflowDumpBusy = 0;

DWORD WINAPI WriteOverflowDump(void*) {
  WriteDumpFile(&overflowDump.pointers, overflowDump.faultingThreadId);
  ::InterlockedExchange(&overflowDumpBusy, 0);
  return 0;
}

// After a stack overflow the faulting thread has about one page of stack left, far too little for the dump
// writer, so the dump is written on a fresh thread while the faulting one waits. False when no thread could
// take the work.
bool WriteDumpOnOwnThread(EXCEPTION_POINTERS* info) {
  if (::InterlockedCompareExchange(&overflowDumpBusy, 1, 0) != 0) return true;  // another one is being written
  overflowDump.record = *info->ExceptionRecord;
  overflowDump.context = *info->ContextRecord;
  overflowDump.pointers = EXCEPTION_POINTERS{&overflowDump.record, &overflowDump.context};
  overflowDump.faultingThreadId = ::GetCurrentThreadId();
  UniqueHandle writer(::CreateThread(nullptr, kWriterStackBytes, &WriteOverflowDump, nullptr, 0, nullptr));
  if (!writer) {
    ::InterlockedExchange(&overflowDumpBusy, 0);
    return false;
  }
  ::WaitForSingleObject(writer.Get(), kWriterWaitMs);
  return true;
}

}  // namespace

void WriteCrashDump(EXCEPTION_POINTERS* info) noexcept {
  if (info->ExceptionRecord->ExceptionCode == EXCEPTION_STACK_OVERFLOW && WriteDumpOnOwnThread(info)) return;
  WriteDumpFile(info, ::GetCurrentThreadId());
}

CrashHandlerRegistration::CrashHandlerRegistration(AddExceptionHandlerFunction add) noexcept
    : handle_(add(1, &CrashHandler)) {
  if (handle_ == nullptr) spdlog::error("AddVectoredExceptionHandler failed");
}

CrashHandlerRegistration::~CrashHandlerRegistration() {
  if (handle_ != nullptr) ::RemoveVectoredExceptionHandler(handle_);
  handle_ = nullptr;
}

void InstallCrashHandler() noexcept { static CrashHandlerRegistration registration; }
