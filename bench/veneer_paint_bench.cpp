// Paint benchmark of the toolkit: a 900x600 layered window (a 600x400 skin at 150 %) shaped like the
// installer's main window. Prints the first paint after process start, a full repaint and a repaint of
// the progress bar with its label, as name=value lines (milliseconds, medians).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "veneer/container.h"
#include "veneer/markup.h"
#include "veneer/paint_manager.h"

using namespace Veneer;

namespace {

CPaintManagerUI* g_manager = nullptr;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (g_manager != nullptr && g_manager->GetPaintWindow() == window &&
      g_manager->MessageHandler(message, wParam, lParam, result))
    return result;
  return ::DefWindowProcW(window, message, wParam, lParam);
}

// A small stand-in for the skin builder: layouts by element name, everything else a plain control.
CControlUI* Build(CSkinMarkupNode node) {
  CControlUI* control = nullptr;
  const std::wstring name = node.GetName();
  if (name == L"VerticalLayout") {
    control = new CVerticalLayoutUI();
  } else if (name == L"HorizontalLayout") {
    control = new CHorizontalLayoutUI();
  } else {
    control = new CControlUI();
  }
  if (auto* container = static_cast<IContainerUI*>(control->GetInterface(L"IContainer"))) {
    for (CSkinMarkupNode child = node.GetChild(); child.IsValid(); child = child.GetSibling())
      container->Add(Build(child));
  }
  for (int i = 0; i < node.AttributeCount(); ++i) control->SetAttribute(node.AttributeName(i), node.AttributeValue(i));
  return control;
}

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER counter;
  ::QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double MillisecondsSinceProcessStart() {
  FILETIME creation, exit, kernel, user, now;
  ::GetProcessTimes(::GetCurrentProcess(), &creation, &exit, &kernel, &user);
  ::GetSystemTimePreciseAsFileTime(&now);
  ULARGE_INTEGER a, b;
  a.LowPart = creation.dwLowDateTime;
  a.HighPart = creation.dwHighDateTime;
  b.LowPart = now.dwLowDateTime;
  b.HighPart = now.dwHighDateTime;
  return static_cast<double>(b.QuadPart - a.QuadPart) / 10000.0;
}

void Pump(HWND window) {
  MSG msg;
  while (::PeekMessageW(&msg, window, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const double atEntry = MillisecondsSinceProcessStart();
  const std::wstring skinFolder = argc > 1 ? argv[1] : L"veneer_skin";
  const int rounds = argc > 2 ? _wtoi(argv[2]) : 40;

  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &WindowProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"VeneerPaintBench";
  ::RegisterClassExW(&wc);
  HWND window = ::CreateWindowExW(0, wc.lpszClassName, L"bench", WS_POPUP, 40, 40, 600, 400, nullptr, nullptr,
                                  wc.hInstance, nullptr);
  CPaintManagerUI manager;
  g_manager = &manager;
  manager.Init(window, L"bench");
  CPaintManagerUI::SetInstance(wc.hInstance);
  CPaintManagerUI::SetResourcePath(skinFolder.c_str());

  CSkinMarkup markup;
  if (!markup.LoadFromFile(L"main.xml")) {
    std::fwprintf(stderr, L"cannot load the skin: %ls\n", markup.GetLastErrorMessage());
    return 1;
  }
  CControlUI* root = Build(markup.GetRoot().GetChild());
  manager.SetLayered(true);
  manager.SetDPI(144);  // 150 %: the window becomes 900x600
  manager.AttachDialog(root);
  ::ShowWindow(window, SW_SHOWNA);
  for (int i = 0; i < 3 && manager.GetOffscreenBits() == nullptr; ++i) {
    ::UpdateWindow(window);
    Pump(window);
  }
  ::UpdateWindow(window);
  const double firstPaint = MillisecondsSinceProcessStart();
  const SIZE client = manager.GetClientSize();

  std::vector<double> full;
  for (int i = 0; i < rounds; ++i) {
    const double start = Now();
    manager.Invalidate();
    ::UpdateWindow(window);
    full.push_back(Now() - start);
  }

  CControlUI* bar = manager.FindControl(L"progress_fg");
  CControlUI* label = manager.FindControl(L"progress_label");
  std::vector<double> progress;
  for (int i = 0; i < rounds; ++i) {
    const double start = Now();
    bar->SetFixedWidth(5 * i + 5);
    label->SetBkColor(i % 2 ? 0x30000000 : 0x40000000);
    ::UpdateWindow(window);
    progress.push_back(Now() - start);
  }

  std::printf("window_size=%ldx%ld\n", client.cx, client.cy);
  std::printf("process_to_main_ms=%.1f\n", atEntry);
  std::printf("first_paint_ms=%.1f\n", firstPaint);
  std::printf("repaint_full_150_ms=%.2f\n", Median(full));
  std::printf("repaint_progress_ms=%.2f\n", Median(progress));
  // An optional pause keeps the window up for a look at it.
  if (argc > 3) ::Sleep(static_cast<DWORD>(_wtoi(argv[3])));
  g_manager = nullptr;
  ::DestroyWindow(window);
  return 0;
}
