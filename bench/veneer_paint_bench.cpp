// Paint benchmark of the toolkit: a 900x600 layered window (a 600x400 skin at 150 %) shaped like the
// installer's main window. Prints the first paint after process start (over several fresh processes), a
// full repaint and a repaint of the progress bar with its label, as name=value lines in milliseconds:
// medians, with the minimum beside each. The layered push alone (the system's UpdateLayeredWindow with
// the same surface and dirty rectangles) is timed as well, since every repaint ends with one, and the
// difference is printed as our own painting time.
//   veneer_paint_bench.exe [skin folder] [rounds] [pause ms]
// With VENEER_BENCH_GDIPLUS_ONLY=1 in the environment, GDI+ makes every scaled copy (the toolkit's own
// resampler stays off), for a comparison with the earlier paint path.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "app/system_time.h"
#include "bench/bench_figures.h"
#include "bench/layered_push.h"
#include "veneer/container.h"
#include "veneer/markup.h"
#include "veneer/paint_manager.h"
#include "veneer/render_engine.h"

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

double MillisecondsSinceProcessStart() {
  FILETIME creation, exit, kernel, user;
  ::GetProcessTimes(::GetCurrentProcess(), &creation, &exit, &kernel, &user);
  const FILETIME now = PreciseSystemTimeAsFileTime();
  ULARGE_INTEGER a, b;
  a.LowPart = creation.dwLowDateTime;
  a.HighPart = creation.dwHighDateTime;
  b.LowPart = now.dwLowDateTime;
  b.HighPart = now.dwHighDateTime;
  return static_cast<double>(b.QuadPart - a.QuadPart) / 10000.0;
}

}  // namespace

// Runs this program again up to its first paint, count times, and collects what each run reports.
bool MeasureFreshStarts(const std::wstring& skinFolder, int count, std::vector<double>* firstPaint,
                        std::vector<double>* toMain) {
  wchar_t self[MAX_PATH];
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  wchar_t folder[MAX_PATH];
  ::GetTempPathW(MAX_PATH, folder);
  wchar_t report[MAX_PATH];
  if (::GetTempFileNameW(folder, L"vpb", 0, report) == 0) return false;
  for (int i = 0; i < count; ++i) {
    std::wstring command = L"\"" + std::wstring(self) + L"\" \"" + skinFolder + L"\" --first-paint \"" + report + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
      break;
    ::WaitForSingleObject(process.hProcess, 60000);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
  }
  if (FILE* file = _wfopen(report, L"r")) {
    double paint = 0, main = 0;
    while (std::fscanf(file, "%lf %lf", &paint, &main) == 2) {
      firstPaint->push_back(paint);
      toMain->push_back(main);
    }
    std::fclose(file);
  }
  ::DeleteFileW(report);
  return !firstPaint->empty();
}

// The system's layered push alone, with a copy of the window's surface: what every repaint pays on top
// of painting.
std::vector<double> TimeLayeredPush(HWND window, const uint32_t* pixels, SIZE size, const RECT* dirty, int rounds) {
  std::vector<double> times;
  uint32_t* bits = nullptr;
  HBITMAP bitmap = CRenderEngine::CreateDib32(nullptr, size.cx, size.cy, &bits);
  if (bitmap == nullptr) return times;
  std::copy(pixels, pixels + static_cast<size_t>(size.cx) * size.cy, bits);
  HDC memory = ::CreateCompatibleDC(nullptr);
  HGDIOBJ old = ::SelectObject(memory, bitmap);
  RECT placed{};
  ::GetWindowRect(window, &placed);
  const POINT destination = {placed.left, placed.top};
  for (int i = 0; i < rounds; ++i) {
    const double start = bench::NowMilliseconds();
    bench::PushLayered(window, memory, destination, size, dirty);
    times.push_back(bench::NowMilliseconds() - start);
  }
  ::SelectObject(memory, old);
  ::DeleteDC(memory);
  ::DeleteObject(bitmap);
  return times;
}

int wmain(int argc, wchar_t** argv) {
  const double atEntry = MillisecondsSinceProcessStart();
  const std::wstring skinFolder = argc > 1 ? argv[1] : L"veneer_skin";
  // A fresh process that only reports its first paint (used by the parent below).
  const bool firstPaintOnly = argc > 3 && std::wstring(argv[2]) == L"--first-paint";
  const int rounds = argc > 2 && !firstPaintOnly ? _wtoi(argv[2]) : 100;
  if (::GetEnvironmentVariableW(L"VENEER_BENCH_GDIPLUS_ONLY", nullptr, 0) > 0)
    CRenderEngine::SetScalingMode(CRenderEngine::ScalingMode::GdiplusOnly);

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
    bench::PumpMessages(window);
  }
  ::UpdateWindow(window);
  const double firstPaint = MillisecondsSinceProcessStart();
  const SIZE client = manager.GetClientSize();
  if (firstPaintOnly) {
    if (FILE* report = _wfopen(argv[3], L"a")) {
      std::fprintf(report, "%.1f %.1f\n", firstPaint, atEntry);
      std::fclose(report);
    }
    g_manager = nullptr;
    ::DestroyWindow(window);
    return 0;
  }

  std::vector<double> full;
  for (int i = 0; i < rounds; ++i) {
    const double start = bench::NowMilliseconds();
    manager.Invalidate();
    ::UpdateWindow(window);
    full.push_back(bench::NowMilliseconds() - start);
  }

  CControlUI* bar = manager.FindControl(L"progress_fg");
  CControlUI* label = manager.FindControl(L"progress_label");
  std::vector<double> progress;
  for (int i = 0; i < rounds; ++i) {
    const double start = bench::NowMilliseconds();
    bar->SetFixedWidth(5 * i + 5);
    label->SetBkColor(i % 2 ? 0x30000000 : 0x40000000);
    ::UpdateWindow(window);
    progress.push_back(bench::NowMilliseconds() - start);
  }

  // The push alone: the whole surface, and the part the progress repaint covers.
  const RECT progressArea = Union(bar->GetParent()->GetPos(), label->GetPos());
  const auto pushFull = TimeLayeredPush(window, manager.GetOffscreenBits(), client, nullptr, rounds);
  const auto pushProgress = TimeLayeredPush(window, manager.GetOffscreenBits(), client, &progressArea, rounds);

  std::vector<double> freshFirstPaint{firstPaint};
  std::vector<double> freshToMain{atEntry};
  MeasureFreshStarts(skinFolder, 6, &freshFirstPaint, &freshToMain);

  std::printf("window_size=%ldx%ld\n", client.cx, client.cy);
  bench::PrintMilliseconds("process_to_main", freshToMain);
  bench::PrintMilliseconds("first_paint", freshFirstPaint);
  bench::PrintMilliseconds("repaint_full_150", full);
  bench::PrintMilliseconds("repaint_progress", progress);
  bench::PrintMilliseconds("layered_push_full", pushFull);
  bench::PrintMilliseconds("layered_push_progress", pushProgress);
  // Our own part of a repaint: the repaint less the push it ends with, both taken in this run.
  std::printf("paint_full_own_ms=%.2f\npaint_progress_own_ms=%.2f\n",
              bench::Median(full) - bench::Median(pushFull), bench::Median(progress) - bench::Median(pushProgress));
  // An optional pause keeps the window up for a look at it.
  if (argc > 3) ::Sleep(static_cast<DWORD>(_wtoi(argv[3])));
  g_manager = nullptr;
  ::DestroyWindow(window);
  return 0;
}
