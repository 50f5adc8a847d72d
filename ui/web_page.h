// Opening a web page in the user's browser. The installer links the shell's implementation (web_page.cpp);
// its end-to-end test build links one that records the address instead, since a headless machine has no
// browser to show it.
#pragma once

#include <windows.h>

void OpenWebPage(HWND owner, const wchar_t* url);
