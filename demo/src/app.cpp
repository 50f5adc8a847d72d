// quillon.exe: the demo application's background process. It owns one hidden top-level window
// so that an installer or uninstaller can find it by class name and ask it to close.
#include <windows.h>

#include "command_line.h"

namespace {

const UINT_PTR kExitTimer = 1;

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_TIMER:
      if (wparam == kExitTimer) DestroyWindow(window);
      return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
  }
  // WM_CLOSE reaches DefWindowProc, which destroys the window: closing ends the program.
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = window_procedure;
  window_class.hInstance = instance;
  window_class.lpszClassName = L"QuillonAppWindow";
  if (!RegisterClassExW(&window_class)) return 1;

  // A top-level window rather than a message-only one, because EnumWindows and FindWindow,
  // which a closing installer relies on, do not see message-only windows.
  HWND window = CreateWindowExW(0, window_class.lpszClassName, L"Quillon", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                                instance, nullptr);
  if (!window) return 1;
  if (const auto delay = exit_after_ms()) SetTimer(window, kExitTimer, *delay, nullptr);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}
