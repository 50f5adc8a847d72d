#include <windows.h>

#include <spdlog/spdlog.h>

#include <mutex>
#include <vector>

#include "app/text_encoding.h"
#include "app/unique_resource.h"
#include "engine/promote_directory.h"

namespace {

// Named by tests before a worker starts and read on the worker thread.
struct ProgramOverride {
  std::mutex mutex;
  std::wstring program;
};

ProgramOverride& Override() {
  static ProgramOverride instance;  // built on first use, so a test build may set it during start-up
  return instance;
}

std::wstring SystemIcacls() {
  wchar_t folder[MAX_PATH] = {};
  const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::wstring(folder, length) + L"\\icacls.exe";
}

}  // namespace

std::wstring IcaclsProgram() {
  {
    std::lock_guard<std::mutex> lock(Override().mutex);
    if (!Override().program.empty()) return Override().program;
  }
  return SystemIcacls();
}

void SetIcaclsProgramForTests(std::wstring program) {
  std::lock_guard<std::mutex> lock(Override().mutex);
  Override().program = std::move(program);
}

void GrantEveryoneModify(const std::wstring& dir, DWORD timeLimitMs) {
  const std::wstring program = IcaclsProgram();
  if (program.empty()) {
    spdlog::warn("无法确定系统目录，未运行 icacls");
    return;
  }
  // The full path as the program to start and, quoted, as the first argument, as a program's own command
  // line is expected to begin.
  const std::wstring commandLine = L"\"" + program + L"\" \"" + dir + L"\" /grant Everyone:(OI)(CI)M /T /Q";
  // CreateProcessW may write into its command line.
  std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back(L'\0');
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(program.c_str(), buffer.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &info)) {
    spdlog::warn("无法启动 icacls (错误码: {}) {}", ::GetLastError(), WideToUtf8(program));
    return;
  }
  UniqueHandle process(info.hProcess);
  UniqueHandle thread(info.hThread);
  // The installation must end, and a hidden window close, whatever icacls does: past the limit it is
  // stopped, and the tree keeps the permissions it inherits from its parent.
  if (::WaitForSingleObject(process.Get(), timeLimitMs) == WAIT_TIMEOUT) {
    spdlog::warn("icacls 在 {} 毫秒内未结束，已停止它并继续安装", timeLimitMs);
    ::TerminateProcess(process.Get(), 1);
  }
}
