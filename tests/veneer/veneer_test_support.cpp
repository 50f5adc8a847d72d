#include "tests/veneer/veneer_test_support.h"

#include "tests/support/temp_folder.h"
#include "veneer/render_engine.h"

namespace VeneerTest {

std::wstring FixturePath(const wchar_t* name) {
  return (TestProgramFolder() / L"fixtures" / L"veneer" / name).wstring();
}

std::string Describe(const RECT& rc) {
  return std::to_string(rc.left) + "," + std::to_string(rc.top) + "," + std::to_string(rc.right) + "," +
         std::to_string(rc.bottom);
}

LRESULT CALLBACK TestWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<TestWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self != nullptr && self->window_ == window) {
    LRESULT result = 0;
    if (self->manager_.MessageHandler(message, wParam, lParam, result)) return result;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

TestWindow::TestWindow(int width, int height, DWORD exStyle) {
  static const ATOM atom = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &TestWindow::Procedure;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = L"VeneerTestWindow";
    return ::RegisterClassExW(&wc);
  }();
  (void)atom;
  window_ = ::CreateWindowExW(exStyle, L"VeneerTestWindow", L"veneer test", WS_POPUP, 0, 0, width, height, nullptr,
                              nullptr, ::GetModuleHandleW(nullptr), this);
  manager_.Init(window_, L"test");
}

TestWindow::~TestWindow() {
  if (window_ != nullptr) {
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    ::DestroyWindow(window_);
  }
}

void TestWindow::Mouse(UINT message, int x, int y, WPARAM keys) {
  ::SendMessageW(window_, message, keys, MAKELPARAM(x, y));
}

void TestWindow::Pump() {
  MSG msg;
  while (::PeekMessageW(&msg, window_, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

void TestWindow::ShowAndPaint() {
  ::ShowWindow(window_, SW_SHOWNA);
  for (int round = 0; round < 3; ++round) {
    ::InvalidateRect(window_, nullptr, FALSE);
    ::UpdateWindow(window_);
    Pump();
  }
}

Surface::Surface(int width, int height, uint32_t fill) : width_(width) {
  dc_.Reset(::CreateCompatibleDC(nullptr));
  bitmap_.Reset(Veneer::CRenderEngine::CreateDib32(nullptr, width, height, &bits_));
  old_ = ::SelectObject(dc_.Get(), bitmap_.Get());
  for (int i = 0; i < width * height; ++i) bits_[i] = fill;
}

Surface::~Surface() { ::SelectObject(dc_.Get(), old_); }

}  // namespace VeneerTest
