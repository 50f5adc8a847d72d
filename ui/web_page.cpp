#include "ui/web_page.h"

#include <shellapi.h>

#include "app/process_launch.h"

void OpenWebPage(HWND owner, const wchar_t* url) {
  // The browser gets the signed-in user's rights, not the installer's, where the desktop's shell can open
  // the page; otherwise this process opens it.
  if (Process::OpenThroughDesktopShell(url, L"", L"")) return;
  ::ShellExecuteW(owner, L"open", url, nullptr, nullptr, SW_SHOWNORMAL);
}
