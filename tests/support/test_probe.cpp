// The one child program of the tests; copies of it stand in for the programs the product starts or stops.
//   (named icacls.exe)   appends its command line and, after a pause, "finished" to the file named by
//                        QUILLON_ICACLS_RECORD: a caller that waits for it sees both lines
//   sleep                waits 60 s and ends with exit code 7, so that a termination (exit code 0) shows;
//                        copies under the application's names stand in for its running processes
//   log TAG              sets up logging as the installer does and writes a few lines
//   version              prints the product version a program without a version resource sees
//   access-violation, illegal-instruction, stack-overflow, raise, breakpoint, handled, fault-at-exit
//                        registers the crash handler as start-up does, prints its thread id and ends so
//   launch plain|detached none|breakaway|confined :: TEXT     starts a copy of itself as the installer starts
//                        programs, from inside a job of that kind, and ends at once
//   relaunch[-moved] :: TEXT   hands over to a copy of itself in upgrade mode and prints the log lines; the
//                        moved variant renames its own file first, so the restart cannot work
//   anything else        writes what it was started with (command line, folder, id, parent's id, job
//                        membership, whether its starter had already ended) into the file
//                        QUILLON_LAUNCH_REPORT names, or "report.txt" beside itself when started by the
//                        desktop's shell, whose environment lacks it
// TEXT is the argument text to pass on after " :: ", unchanged.
#include <windows.h>
#include <tlhelp32.h>

#include <spdlog/spdlog.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "app/crash_handler.h"
#include "app/logger.h"
#include "app/process_launch.h"
#include "app/system_info.h"
#include "app/text_encoding.h"
#include "app/unique_resource.h"
#include "app/upgrade_handover.h"
#include "tests/support/captured_log.h"

namespace {

std::wstring Environment(const wchar_t* name) {
  wchar_t buffer[1024] = {};
  const DWORD length = ::GetEnvironmentVariableW(name, buffer, 1024);
  return length > 0 && length < 1024 ? std::wstring(buffer, length) : std::wstring();
}

std::wstring OwnPath() {
  wchar_t buffer[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  return buffer;
}

void Append(const std::wstring& file, const std::string& text) {
  UniqueFileHandle handle(::CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  if (handle) ::WriteFile(handle.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

int RecordIcacls() {
  const std::wstring record = Environment(L"QUILLON_ICACLS_RECORD");
  if (record.empty()) return 1;
  Append(record, WideToUtf8(::GetCommandLineW()) + "\n");
  ::Sleep(300);
  Append(record, "finished\n");
  return 0;
}

int WriteLog(const std::wstring& tagText) {
  static LogGuard logGuard = InitLogger(GetExeFileName());
  const std::string tag = WideToUtf8(tagText);
  spdlog::debug("debug line {}", tag);
  spdlog::info("isUpdate flag :{}", 0);
  spdlog::info("信息 {} 中文", tag);
  spdlog::warn("warning line {}", tag);
  spdlog::error("error line {}", tag);
  std::printf("done acp=%u\n", ::GetACP());
  return 0;
}

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

// Ends the process with the exception code once no handler has taken the fault, whatever debugger the
// system would otherwise start.
LONG WINAPI EndWithExceptionCode(EXCEPTION_POINTERS*) { return EXCEPTION_EXECUTE_HANDLER; }

// Made before the crash handler is registered, so destroyed after it has been removed at exit.
struct FaultAtExit {
  ~FaultAtExit() { WriteToUnmappedMemory(); }
};

bool IsCrashMode(const std::wstring& mode) {
  for (const wchar_t* known : {L"access-violation", L"illegal-instruction", L"stack-overflow", L"raise", L"breakpoint",
                               L"handled", L"fault-at-exit"}) {
    if (mode == known) return true;
  }
  return false;
}

int Crash(const std::wstring& mode) {
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

// What follows " :: " on this process's command line, exactly as it was written.
std::wstring PassedOnText() {
  const std::wstring line = ::GetCommandLineW();
  const size_t marker = line.find(L" :: ");
  return marker == std::wstring::npos ? std::wstring() : line.substr(marker + 4);
}

DWORD ParentProcessId() {
  UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = snapshot && ::Process32FirstW(snapshot.Get(), &entry); more;
       more = ::Process32NextW(snapshot.Get(), &entry)) {
    if (entry.th32ProcessID == ::GetCurrentProcessId()) return entry.th32ParentProcessID;
  }
  return 0;
}

// Waits for the starter named in QUILLON_LAUNCH_WAIT_FOR to end; "none" when there is no starter to watch.
std::string StarterState() {
  const std::wstring starter = Environment(L"QUILLON_LAUNCH_WAIT_FOR");
  if (starter.empty()) return "none";
  UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, std::stoul(starter)));
  if (!process) return "exited";  // gone before this process looked
  return ::WaitForSingleObject(process.Get(), 30000) == WAIT_OBJECT_0 ? "exited" : "alive";
}

int WriteReport(const std::wstring& reportPath) {
  wchar_t folder[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, folder);
  BOOL inJob = FALSE;
  ::IsProcessInJob(::GetCurrentProcess(), nullptr, &inJob);
  const std::string report = "command=" + WideToUtf8(::GetCommandLineW()) + "\nfolder=" + WideToUtf8(folder) +
                             "\npid=" + std::to_string(::GetCurrentProcessId()) +
                             "\nparent=" + std::to_string(ParentProcessId()) + "\njob=" + (inJob ? "1" : "0") +
                             "\nstarter=" + StarterState() + "\n";
  // Written beside the report and renamed into place, so that a reader never sees half of it.
  const std::wstring partial = reportPath + L".partial";
  Append(partial, report);
  return ::MoveFileExW(partial.c_str(), reportPath.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 4;
}

// Puts this process into a new job, which either allows its children to break away or does not.
bool JoinJob(const std::wstring& kind) {
  if (kind == L"none") return true;
  HANDLE job = ::CreateJobObjectW(nullptr, nullptr);  // held until this process ends
  if (job == nullptr) return false;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = kind == L"breakaway" ? JOB_OBJECT_LIMIT_BREAKAWAY_OK : 0;
  return ::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof(limits)) &&
         ::AssignProcessToJobObject(job, ::GetCurrentProcess());
}

int Launch(const std::wstring& kind, const std::wstring& job) {
  if (!JoinJob(job)) return 5;
  ::SetEnvironmentVariableW(L"QUILLON_LAUNCH_WAIT_FOR", std::to_wstring(::GetCurrentProcessId()).c_str());
  const DWORD launched = kind == L"detached" ? Process::LaunchDetachedProcess(OwnPath(), PassedOnText())
                                             : Process::LaunchProcess(OwnPath(), PassedOnText());
  std::printf("launched=%lu\n", launched);
  return 0;
}

int Relaunch(bool moved) {
  if (moved && !::MoveFileW(OwnPath().c_str(), (OwnPath() + L".moved").c_str())) return 6;
  CapturedLog capture;
  RelaunchInUpgradeMode(PassedOnText());
  for (const LogLine& line : capture.Lines()) {
    const auto level = spdlog::level::to_string_view(line.level);
    std::printf("[%.*s] %s\n", static_cast<int>(level.size()), level.data(), line.text.c_str());
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (::lstrcmpiW(GetExeFileName().c_str(), L"icacls.exe") == 0) return RecordIcacls();
  if (command == L"sleep") {
    ::Sleep(60000);
    return 7;
  }
  if (command == L"log") return WriteLog(argc > 2 ? argv[2] : L"run");
  if (command == L"version") {
    std::printf("[%s]\n", WideToUtf8(GetProductVersion()).c_str());
    return 0;
  }
  if (IsCrashMode(command)) return Crash(command);
  if (command == L"launch" && argc > 3) return Launch(argv[2], argv[3]);
  if (command == L"relaunch" || command == L"relaunch-moved") return Relaunch(command == L"relaunch-moved");
  const std::wstring reportPath = Environment(L"QUILLON_LAUNCH_REPORT");
  if (!reportPath.empty()) return WriteReport(reportPath);
  const std::wstring self = OwnPath();
  return WriteReport(self.substr(0, self.find_last_of(L'\\') + 1) + L"report.txt");
}
