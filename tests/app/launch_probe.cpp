// A child program for the process-launch tests. It writes what it was started with (command line, folder,
// id, parent's id, job membership, whether its starter had already ended) into the file QUILLON_LAUNCH_REPORT
// names, or into "report.txt" beside itself when started by the desktop's shell, whose environment lacks
// it. Started with "launch" or "relaunch", it is the starter itself: it starts a copy of itself the way the
// installer does and ends at once. The argument text to pass on follows " :: " unchanged.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <string>

#include "app/process_launch.h"
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
  HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, std::stoul(starter));
  if (process == nullptr) return "exited";  // gone before this process looked
  const DWORD waited = ::WaitForSingleObject(process, 30000);
  ::CloseHandle(process);
  return waited == WAIT_OBJECT_0 ? "exited" : "alive";
}

int WriteReport(const std::wstring& reportPath) {
  wchar_t folder[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, folder);
  BOOL inJob = FALSE;
  ::IsProcessInJob(::GetCurrentProcess(), nullptr, &inJob);
  const std::string starter = StarterState();
  const std::string report = "command=" + WideToUtf8(::GetCommandLineW()) + "\n" + "folder=" + WideToUtf8(folder) +
                             "\n" + "pid=" + std::to_string(::GetCurrentProcessId()) + "\n" +
                             "parent=" + std::to_string(ParentProcessId()) + "\n" +
                             "job=" + (inJob ? "1" : "0") + "\n" + "starter=" + starter + "\n";
  // Written beside the report and renamed into place, so that a reader never sees half of it.
  const std::wstring partial = reportPath + L".partial";
  FILE* out = _wfopen(partial.c_str(), L"wb");
  if (out == nullptr) return 3;
  std::fwrite(report.data(), 1, report.size(), out);
  std::fclose(out);
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

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"launch" && argc > 3) {
    // launch plain|detached none|breakaway|confined :: TEXT
    if (!JoinJob(argv[3])) return 5;
    ::SetEnvironmentVariableW(L"QUILLON_LAUNCH_WAIT_FOR", std::to_wstring(::GetCurrentProcessId()).c_str());
    const std::wstring kind = argv[2];
    const DWORD launched = kind == L"detached" ? Process::LaunchDetachedProcess(OwnPath(), PassedOnText())
                                               : Process::LaunchProcess(OwnPath(), PassedOnText());
    std::printf("launched=%lu\n", launched);
    return 0;
  }
  if (command == L"relaunch" || command == L"relaunch-moved") {
    // relaunch[-moved] :: TEXT. The moved variant renames its own file first, so the restart cannot work.
    if (command == L"relaunch-moved" && !::MoveFileW(OwnPath().c_str(), (OwnPath() + L".moved").c_str())) return 6;
    CapturedLog capture;
    RelaunchInUpgradeMode(PassedOnText());
    for (const LogLine& line : capture.Lines()) {
      const auto level = spdlog::level::to_string_view(line.level);
      std::printf("[%.*s] %s\n", static_cast<int>(level.size()), level.data(), line.text.c_str());
    }
    return 0;
  }
  const std::wstring reportPath = Environment(L"QUILLON_LAUNCH_REPORT");
  if (!reportPath.empty()) return WriteReport(reportPath);
  const std::wstring self = OwnPath();
  return WriteReport(self.substr(0, self.find_last_of(L'\\') + 1) + L"report.txt");
}
