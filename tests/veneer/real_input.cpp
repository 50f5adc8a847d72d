#include "tests/veneer/real_input.h"

#include <atomic>
#include <thread>
#include <vector>

#include "veneer/paint_manager.h"

namespace VeneerTest {

namespace {

void Send(INPUT input, DWORD settleMs) {
  ::SendInput(1, &input, sizeof(input));
  Settle(settleMs);
}

INPUT Key(WORD key, DWORD flags) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.dwFlags = flags;
  return input;
}

}  // namespace

void Settle(DWORD ms) { ::Sleep(ms); }

void MouseTo(int screenX, int screenY) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  // Absolute coordinates are 0..65535 over the primary screen; +1 lands on the intended pixel.
  input.mi.dx = screenX * 65536 / ::GetSystemMetrics(SM_CXSCREEN) + 1;
  input.mi.dy = screenY * 65536 / ::GetSystemMetrics(SM_CYSCREEN) + 1;
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  Send(input, 60);
}

void MouseButton(bool down) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
  Send(input, 60);
}

void PressKeys(std::initializer_list<WORD> keys) {
  for (WORD key : keys) Send(Key(key, 0), 40);
  const std::vector<WORD> reversed(std::rbegin(keys), std::rend(keys));
  for (WORD key : reversed) Send(Key(key, KEYEVENTF_KEYUP), 40);
}

void BringToFront(HWND window) {
  ::ShowWindow(window, SW_SHOWNORMAL);
  ::SetForegroundWindow(window);
  ::SetActiveWindow(window);
  ::SetFocus(window);
  ::UpdateWindow(window);
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  for (;;) {
    MSG msg{};
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) continue;  // a destroyed window's quit message ends nothing here
      if (!Veneer::CPaintManagerUI::TranslateMessage(&msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
      }
    }
    if (done()) return true;
    if (::GetTickCount64() >= deadline) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

bool RunWhilePumping(const std::function<void()>& script, DWORD timeoutMs) {
  std::atomic<bool> finished{false};
  const DWORD uiThread = ::GetCurrentThreadId();
  std::thread helper([&] {
    script();
    finished = true;
    ::PostThreadMessageW(uiThread, WM_NULL, 0, 0);  // wakes the loop
  });
  const bool inTime = PumpUntil([&] { return finished.load(); }, timeoutMs);
  helper.join();
  return inTime;
}

}  // namespace VeneerTest
