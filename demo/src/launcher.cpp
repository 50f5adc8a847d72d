// quillon_launcher.exe: the demo application's visible entry point. It shows the folder it was
// installed into, which lets a person check at a glance where the installer put the files.
#include <windows.h>

#include <string>

#include "command_line.h"

namespace {

const UINT_PTR kExitTimer = 1;
std::wstring g_message;

std::wstring own_folder() {
  std::wstring path(MAX_PATH, L'\0');
  // The path may be longer than MAX_PATH when installed under a deep folder; grow until it fits.
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return L"(unknown)";
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  const size_t separator = path.find_last_of(L"\\/");
  return separator == std::wstring::npos ? path : path.substr(0, separator);
}

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT client;
      GetClientRect(window, &client);
      InflateRect(&client, -16, -16);
      SetBkMode(dc, TRANSPARENT);
      SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
      DrawTextW(dc, g_message.c_str(), -1, &client, DT_LEFT | DT_TOP | DT_WORDBREAK);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_TIMER:
      if (wparam == kExitTimer) DestroyWindow(window);
      return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command) {
  g_message = L"Quillon (demo) is installed in:\r\n" + own_folder();

  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = window_procedure;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  window_class.lpszClassName = L"QuillonLauncherWindow";
  if (!RegisterClassExW(&window_class)) return 1;

  HWND window = CreateWindowExW(0, window_class.lpszClassName, L"Quillon Launcher", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 520, 200, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  if (const auto delay = exit_after_ms()) SetTimer(window, kExitTimer, *delay, nullptr);
  ShowWindow(window, show_command);
  UpdateWindow(window);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}
