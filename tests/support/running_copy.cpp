#include "tests/support/running_copy.h"

#include <tlhelp32.h>

#include <string>

#include "tests/support/temp_folder.h"

namespace {

bool IsListed(DWORD processId, const std::wstring& name) {
  UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  if (!snapshot || !::Process32FirstW(snapshot.Get(), &entry)) return false;
  do {
    if (entry.th32ProcessID == processId) return name == entry.szExeFile;
  } while (::Process32NextW(snapshot.Get(), &entry));
  return false;
}

}  // namespace

RunningCopy::RunningCopy(const std::filesystem::path& program) {
  std::filesystem::create_directories(program.parent_path());
  std::filesystem::copy_file(TestProgramFolder() / L"test_probe.exe", program);
  std::wstring commandLine = L"\"" + program.wstring() + L"\" sleep";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &info)) {
    return;
  }
  UniqueHandle thread(info.hThread);
  process_.Reset(info.hProcess);
  const std::wstring name = program.filename().wstring();
  for (int i = 0; i < 200 && !listed_; ++i) {
    listed_ = IsListed(info.dwProcessId, name);
    if (!listed_) ::Sleep(25);
  }
}

RunningCopy::~RunningCopy() {
  if (process_ && Running()) {
    ::TerminateProcess(process_.Get(), 1);
    ::WaitForSingleObject(process_.Get(), 5000);
  }
}

bool RunningCopy::Running() const { return process_ && ::WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT; }

bool RunningCopy::Terminated() const {
  DWORD code = STILL_ACTIVE;
  return process_ && ::WaitForSingleObject(process_.Get(), 0) == WAIT_OBJECT_0 &&
         ::GetExitCodeProcess(process_.Get(), &code) && code == 0;
}
