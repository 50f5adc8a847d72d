#include "engine/kill_running_app.h"

#include <windows.h>
#include <tlhelp32.h>

#include <spdlog/spdlog.h>

#include "app/text_encoding.h"
#include "app/unique_resource.h"

namespace {

constexpr DWORD kExitWaitMs = 5000;

// Ends one process; true when it was terminated (whether or not it vanished in time).
bool EndProcess(const std::wstring& name, DWORD processId) {
  // SYNCHRONIZE as well: without it the bounded wait below fails at once on Windows, and extraction would
  // start while the ended process still holds its files.
  UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId));
  if (!process) {
    spdlog::warn("无法获取进程 {} 的结束权限 (PID: {})", WideToAnsi(name), processId);
    return false;
  }
  if (!::TerminateProcess(process.Get(), 0)) return false;
  if (::WaitForSingleObject(process.Get(), kExitWaitMs) != WAIT_OBJECT_0) {
    spdlog::warn("进程终止超时，可能存在僵尸进程");
  }
  return true;
}

}  // namespace

int KillProcessesByName(const std::vector<std::wstring>& names) {
  if (names.empty()) return 0;
  UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return 0;

  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  if (!::Process32FirstW(snapshot.Get(), &entry)) return 0;
  int ended = 0;
  do {
    for (const std::wstring& name : names) {
      if (::_wcsicmp(entry.szExeFile, name.c_str()) != 0) continue;
      if (EndProcess(name, entry.th32ProcessID)) ++ended;
      break;  // one match per process
    }
  } while (::Process32NextW(snapshot.Get(), &entry));
  return ended;
}

void KillRunningApp() {
  const std::vector<std::wstring> names = {L"quillon_launcher.exe", L"quillon.exe", L"quillon_crosshair.exe",
                                           L"crashpad_handler.exe"};
  spdlog::info("第一次Kill 共关闭了 {} 个相关进程", KillProcessesByName(names));
  spdlog::info("第二次Kill 共关闭了 {} 个相关进程", KillProcessesByName(names));
  spdlog::info("第三次Kill 共关闭了 {} 个相关进程", KillProcessesByName(names));
}
