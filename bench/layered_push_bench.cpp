// The cost of pushing a layered window's surface to the screen, alone and in the variants a paint path
// can choose from: with or without a dirty rectangle, how large that rectangle is, how large the window
// is, where the source pixels live. Prints name_ms=median and name_min_ms=minimum lines.
//   layered_push_bench.exe [rounds]
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <vector>

#include "bench/bench_figures.h"
#include "bench/layered_push.h"

namespace {

void Report(const char* name, int rounds, const std::function<void()>& push) {
  for (int i = 0; i < 3; ++i) push();
  std::vector<double> times;
  for (int i = 0; i < rounds; ++i) {
    const double start = bench::NowMilliseconds();
    push();
    times.push_back(bench::NowMilliseconds() - start);
    bench::PumpMessages();
  }
  bench::PrintMilliseconds(name, times, 3);
}

// A premultiplied surface like the installer's: an opaque gradient with transparent rounded corners.
HBITMAP MakeSurface(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  auto* pixels = static_cast<uint32_t*>(bits);
  const int radius = 22;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int dx = radius - std::min(std::min(x, width - 1 - x), radius);
      const int dy = radius - std::min(std::min(y, height - 1 - y), radius);
      const bool outside = dx > 0 && dy > 0 && dx * dx + dy * dy > radius * radius;
      pixels[y * width + x] = outside ? 0 : 0xFF000000u | (x * 255 / width) << 16 | (y * 255 / height) << 8 | 160;
    }
  }
  return bitmap;
}

struct LayeredWindow {
  LayeredWindow(int width, int height, HDC source) : size{width, height} {
    window = ::CreateWindowExW(WS_EX_LAYERED, L"LayeredPushBench", L"push", WS_POPUP, 40, 40, width, height, nullptr,
                               nullptr, ::GetModuleHandleW(nullptr), nullptr);
    Push(source, nullptr);
    ::ShowWindow(window, SW_SHOWNA);
    bench::PumpMessages();
  }
  ~LayeredWindow() { ::DestroyWindow(window); }
  void Push(HDC source, const RECT* dirty, DWORD flags = ULW_ALPHA, BYTE alphaFormat = AC_SRC_ALPHA) {
    bench::PushLayered(window, source, POINT{40, 40}, size, dirty, flags, alphaFormat);
  }
  HWND window;
  SIZE size;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int rounds = argc > 1 ? _wtoi(argv[1]) : 100;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &::DefWindowProcW;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"LayeredPushBench";
  ::RegisterClassExW(&wc);

  HBITMAP surface = MakeSurface(900, 600);
  HDC memory = ::CreateCompatibleDC(nullptr);
  ::SelectObject(memory, surface);
  const RECT progress = {30, 465, 870, 505};  // the progress bar and its label at 150 %
  const RECT pixel = {450, 300, 451, 301};
  {
    LayeredWindow main(900, 600, memory);
    Report("push_900x600_no_dirty", rounds, [&] { main.Push(memory, nullptr); });
    const RECT all = {0, 0, 900, 600};
    Report("push_900x600_dirty_all", rounds, [&] { main.Push(memory, &all); });
    Report("push_900x600_dirty_progress", rounds, [&] { main.Push(memory, &progress); });
    Report("push_900x600_dirty_1px", rounds, [&] { main.Push(memory, &pixel); });
    Report("push_900x600_dirty_progress_opaque_blend", rounds,
           [&] { main.Push(memory, &progress, ULW_OPAQUE, 0); });
    Report("move_900x600_without_source", rounds, [&] { main.Push(nullptr, nullptr); });

    // The same pixels in a device-dependent bitmap instead of a DIB section.
    HDC screen = ::GetDC(nullptr);
    HBITMAP ddb = ::CreateCompatibleBitmap(screen, 900, 600);
    ::ReleaseDC(nullptr, screen);
    HDC ddbMemory = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(ddbMemory, ddb);
    ::BitBlt(ddbMemory, 0, 0, 900, 600, memory, 0, 0, SRCCOPY);
    Report("push_900x600_dirty_progress_ddb_source", rounds, [&] { main.Push(ddbMemory, &progress); });
    ::SelectObject(ddbMemory, old);
    ::DeleteDC(ddbMemory);
    ::DeleteObject(ddb);
  }
  // How the cost of a one-pixel push and of a whole push grows with the window.
  for (int height : {100, 300, 600}) {
    const int width = height * 3 / 2;
    LayeredWindow window(width, height, memory);
    char name[64];
    std::snprintf(name, sizeof(name), "push_%dx%d_dirty_1px", width, height);
    const RECT corner = {10, 10, 11, 11};
    Report(name, rounds, [&] { window.Push(memory, &corner); });
    std::snprintf(name, sizeof(name), "push_%dx%d_no_dirty", width, height);
    Report(name, rounds, [&] { window.Push(memory, nullptr); });
  }
  ::DeleteDC(memory);
  ::DeleteObject(surface);
  return 0;
}
