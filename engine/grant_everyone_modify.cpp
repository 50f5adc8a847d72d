#include <windows.h>

#include <spdlog/spdlog.h>

#include <vector>

#include "app/unique_resource.h"
#include "engine/promote_directory.h"

void GrantEveryoneModify(std::wstring dir, DWORD timeLimitMs) {
  const std::wstring commandLine = L"icacls \"" + dir + L"\" /grant Everyone:(OI)(CI)M /T /Q";
  // CreateProcessW may write into its command line.
  std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back(L'\0');
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &info)) {
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
