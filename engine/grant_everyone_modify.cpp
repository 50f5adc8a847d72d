#include <windows.h>

#include <vector>

#include "app/unique_resource.h"
#include "engine/promote_directory.h"

void GrantEveryoneModify(std::wstring dir) {
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
  ::WaitForSingleObject(process.Get(), INFINITE);
}
