#include "app/process_launch.h"

#include <vector>

#include "app/unique_resource.h"

namespace {

constexpr DWORD kDetachedFlags = CREATE_UNICODE_ENVIRONMENT | DETACHED_PROCESS;

// The folder part of the program path, or empty when the caller's folder is to be inherited.
std::wstring WorkingDirectoryOf(const std::wstring& programPath) {
  const size_t separator = programPath.find_last_of(L"\\/");
  if (separator == std::wstring::npos || separator == 0) return {};
  std::wstring folder = programPath.substr(0, separator);
  // "C:" alone names the drive's current folder, not its root, so a program at the root of a drive would
  // start wherever the caller last was on that drive.
  if (folder.size() == 2 && folder[1] == L':') folder += L'\\';
  return folder;
}

DWORD Launch(const std::wstring& programPath, const std::wstring& argumentText, DWORD firstFlags,
             bool retryWithoutBreakaway) {
  const std::wstring folder = WorkingDirectoryOf(programPath);
  const std::wstring text = L"\"" + programPath + L"\" " + argumentText;
  // CreateProcessW may write into the command line, so it gets a private copy each time.
  auto start = [&](DWORD flags) -> DWORD {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    std::vector<wchar_t> commandLine(text.begin(), text.end());
    commandLine.push_back(L'\0');
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, flags, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
      return Process::kLaunchFailed;
    }
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    return info.dwProcessId;
  };

  DWORD processId = start(firstFlags);
  // A job that does not allow breaking away refuses the first attempt; the program still has to start.
  if (processId == Process::kLaunchFailed && retryWithoutBreakaway) processId = start(kDetachedFlags);
  return processId;
}

}  // namespace

namespace Process {

DWORD LaunchProcess(const std::wstring& programPath, const std::wstring& argumentText) {
  return Launch(programPath, argumentText, 0, false);
}

DWORD LaunchDetachedProcess(const std::wstring& programPath, const std::wstring& argumentText) {
  return Launch(programPath, argumentText, CREATE_BREAKAWAY_FROM_JOB | kDetachedFlags, true);
}

}  // namespace Process
