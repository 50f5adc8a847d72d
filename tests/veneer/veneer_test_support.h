// Helpers shared by the toolkit's tests: fixture paths, a real (hidden) window driven by its own paint
// manager, and a 32-bit off-screen surface whose pixels can be read back.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/unique_resource.h"
#include "veneer/container.h"
#include "veneer/paint_manager.h"

namespace VeneerTest {

// A file written by make_veneer_fixtures.py next to the test program.
std::wstring FixturePath(const wchar_t* name);

// "left,top,right,bottom", for comparing rectangles in one expectation.
std::string Describe(const RECT& rc);

// Puts the process-wide resource folder and archive back to none when the scope ends, however it ends.
struct ResourceSettingsReset {
  ~ResourceSettingsReset() {
    Veneer::CPaintManagerUI::SetResourceZip(L"", false);
    Veneer::CPaintManagerUI::SetResourcePath(L"");
  }
};

// A popup window whose messages go through a paint manager first, as the window base does.
class TestWindow {
 public:
  explicit TestWindow(int width = 200, int height = 100, DWORD exStyle = 0);
  ~TestWindow();
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;

  HWND Handle() const { return window_; }
  Veneer::CPaintManagerUI& Manager() { return manager_; }
  // Sends a mouse message at client point (x, y).
  void Mouse(UINT message, int x, int y, WPARAM keys = 0);
  // Delivers everything posted to the window so far.
  void Pump();
  // Shows the window without activating it and paints it over a few rounds, as layered windows need.
  void ShowAndPaint();

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  Veneer::CPaintManagerUI manager_;
  HWND window_ = nullptr;
};

// A 32-bit top-down DIB selected into a memory DC.
class Surface {
 public:
  Surface(int width, int height, uint32_t fill = 0);
  ~Surface();
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;
  HDC Dc() const { return dc_.Get(); }
  uint32_t At(int x, int y) const { return bits_[y * width_ + x]; }
  // 0x00RRGGBB part only.
  uint32_t Rgb(int x, int y) const { return At(x, y) & 0xFFFFFF; }

 private:
  int width_;
  UniqueHdc dc_;
  UniqueHbitmap bitmap_;
  HGDIOBJ old_ = nullptr;
  uint32_t* bits_ = nullptr;
};

}  // namespace VeneerTest
