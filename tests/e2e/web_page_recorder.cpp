// The end-to-end test build's way of opening a web page: a headless machine has no browser, so the address
// is appended to "opened_urls.txt" beside the executable, where the test reads it.
#include <windows.h>

#include <string>

#include "app/system_info.h"
#include "app/text_encoding.h"
#include "ui/web_page.h"

void OpenWebPage(HWND /*owner*/, const wchar_t* url) {
  const std::wstring file = GetExeDirectory() + L"\\opened_urls.txt";
  HANDLE handle = ::CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return;
  const std::string line = WideToUtf8(url) + "\n";
  DWORD written = 0;
  ::WriteFile(handle, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  ::CloseHandle(handle);
}
