#include "ui/web_page.h"

#include <shellapi.h>

void OpenWebPage(HWND owner, const wchar_t* url) {
  ::ShellExecuteW(owner, L"open", url, nullptr, nullptr, SW_SHOWNORMAL);
}
