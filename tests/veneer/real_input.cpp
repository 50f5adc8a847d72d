#include "tests/veneer/real_input.h"

#include <atomic>
#include <thread>

#include "veneer/paint_manager.h"

namespace VeneerTest {

void Settle(DWORD ms) { ::Sleep(ms); }

void MouseTo(int screenX, int screenY) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  // Absolute coordinates are 0..65535 over the primary screen; +1 lands on the intended pixel.
  input.mi.dx = screenX * 65536 / ::GetSystemMetrics(SM_CXSCREEN) + 1;
  input.mi.dy = screenY * 65536 / ::GetSystemMetrics(SM_CYSCREEN) + 1;
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  ::SendInput(1, &input, sizeof(input));
  Settle(60);
}

void MouseButton(bool down) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
  ::SendInput(1, &input, sizeof(input));
  Settle(60);
}

void KeyDown(WORD key) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  ::SendInput(1, &input, sizeof(input));
  Settle(40);
}

void KeyUp(WORD key) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.dwFlags = KEYEVENTF_KEYUP;
  ::SendInput(1, &input, sizeof(input));
  Settle(40);
}

void BringToFront(HWND window) {
  ::ShowWindow(window, SW_SHOWNORMAL);
  ::SetForegroundWindow(window);
  ::SetActiveWindow(window);
  ::SetFocus(window);
  ::UpdateWindow(window);
}

bool RunWhilePumping(const std::function<void()>& script, DWORD timeoutMs) {
  std::atomic<bool> done{false};
  const DWORD uiThread = ::GetCurrentThreadId();
  std::thread helper([&] {
    script();
    done = true;
    ::PostThreadMessageW(uiThread, WM_NULL, 0, 0);  // wakes the loop
  });
  const DWORD start = ::GetTickCount();
  bool inTime = true;
  for (;;) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (!Veneer::CPaintManagerUI::TranslateMessage(&msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
      }
    }
    if (done) break;
    if (::GetTickCount() - start > timeoutMs) {
      inTime = false;
      break;
    }
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
  helper.join();
  return inTime;
}

}  // namespace VeneerTest
