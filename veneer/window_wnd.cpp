#include "veneer/window_wnd.h"

#include "veneer/paint_manager.h"

namespace Veneer {
namespace {

constexpr wchar_t kControlProperty[] = L"WndX";

HINSTANCE ToolkitInstance() {
  HINSTANCE instance = CPaintManagerUI::GetInstance();
  return instance != nullptr ? instance : ::GetModuleHandleW(nullptr);
}

}  // namespace

const wchar_t* CWindowWnd::GetSuperClassName() const { return nullptr; }
UINT CWindowWnd::GetClassStyle() const { return 0; }
LRESULT CWindowWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  return ::CallWindowProcW(oldWndProc_, window_, msg, wParam, lParam);
}
void CWindowWnd::OnFinalMessage(HWND /*window*/) {}

// --- Classes and creation ---------------------------------------------------------------------------

bool CWindowWnd::RegisterWindowClass() {
  WNDCLASSW wc{};
  wc.style = GetClassStyle();
  wc.lpfnWndProc = &CWindowWnd::WndProc;
  wc.hInstance = ToolkitInstance();
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = GetWindowClassName();
  return ::RegisterClassW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool CWindowWnd::RegisterSuperclass() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  if (!::GetClassInfoExW(nullptr, GetSuperClassName(), &wc) &&
      !::GetClassInfoExW(ToolkitInstance(), GetSuperClassName(), &wc))
    return false;
  oldWndProc_ = wc.lpfnWndProc;
  wc.lpfnWndProc = &CWindowWnd::ControlProc;
  wc.hInstance = ToolkitInstance();
  wc.lpszClassName = GetWindowClassName();
  return ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CWindowWnd::Create(HWND parent, const wchar_t* title, DWORD style, DWORD exStyle, int x, int y, int width,
                        int height, HMENU menu) {
  const bool registered = GetSuperClassName() != nullptr ? RegisterSuperclass() : RegisterWindowClass();
  if (!registered) return nullptr;
  window_ = ::CreateWindowExW(exStyle, GetWindowClassName(), title, style, x, y, width, height, parent, menu,
                              ToolkitInstance(), this);
  return window_;
}

HWND CWindowWnd::Create(HWND parent, const wchar_t* title, DWORD style, DWORD exStyle, const RECT& rc, HMENU menu) {
  return Create(parent, title, style, exStyle, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, menu);
}

HWND CWindowWnd::Subclass(HWND window) {
  if (window == nullptr || !::IsWindow(window)) return nullptr;
  oldWndProc_ = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWindowWnd::ControlProc)));
  if (oldWndProc_ == nullptr) return nullptr;
  subclassed_ = true;
  window_ = window;
  ::SetPropW(window, kControlProperty, this);
  return window_;
}

void CWindowWnd::Unsubclass() {
  if (!subclassed_ || !::IsWindow(window_)) return;
  ::SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(oldWndProc_));
  oldWndProc_ = ::DefWindowProcW;
  subclassed_ = false;
}

// --- Window procedures ------------------------------------------------------------------------------

LRESULT CWindowWnd::FinishWindow(CWindowWnd* self, HWND window, UINT msg, WPARAM wParam, LPARAM lParam, bool control) {
  // The default handling comes first; then the object lets go of the window and hears its last message.
  const LRESULT result = ::CallWindowProcW(self->oldWndProc_, window, msg, wParam, lParam);
  if (control) {
    ::RemovePropW(window, kControlProperty);
  } else {
    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  }
  if (self->subclassed_) {
    self->Unsubclass();
    self->oldWndProc_ = ::DefWindowProcW;
  }
  self->window_ = nullptr;
  self->OnFinalMessage(window);
  return result;
}

LRESULT CALLBACK CWindowWnd::WndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  CWindowWnd* self = nullptr;
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    self = static_cast<CWindowWnd*>(create->lpCreateParams);
    if (self != nullptr) {
      self->window_ = window;
      ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
  } else {
    self = reinterpret_cast<CWindowWnd*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self != nullptr && msg == WM_NCDESTROY) return FinishWindow(self, window, msg, wParam, lParam, false);
  }
  if (self == nullptr) return ::DefWindowProcW(window, msg, wParam, lParam);
  return self->HandleMessage(msg, wParam, lParam);
}

LRESULT CALLBACK CWindowWnd::ControlProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  CWindowWnd* self = nullptr;
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    self = static_cast<CWindowWnd*>(create->lpCreateParams);
    if (self != nullptr) {
      self->window_ = window;
      ::SetPropW(window, kControlProperty, self);
    }
  } else {
    self = static_cast<CWindowWnd*>(::GetPropW(window, kControlProperty));
    if (self != nullptr && msg == WM_NCDESTROY) return FinishWindow(self, window, msg, wParam, lParam, true);
  }
  if (self == nullptr) return ::DefWindowProcW(window, msg, wParam, lParam);
  return self->HandleMessage(msg, wParam, lParam);
}

// --- Placement, showing, modal loop ---------------------------------------------------------------------

void CWindowWnd::CenterWindow() {
  if (!::IsWindow(window_)) return;
  RECT rc{};
  ::GetWindowRect(window_, &rc);
  const long width = rc.right - rc.left;
  const long height = rc.bottom - rc.top;
  HWND owner = ::GetWindow(window_, GW_OWNER);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  ::GetMonitorInfoW(::MonitorFromWindow(owner != nullptr ? owner : window_, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT work = monitor.rcWork;
  RECT reference = work;
  if (owner != nullptr) ::GetWindowRect(owner, &reference);

  long left = (reference.left + reference.right) / 2 - width / 2;
  long top = (reference.top + reference.bottom) / 2 - height / 2;
  if (left < work.left) {
    left = work.left;
  } else if (left + width > work.right) {
    left = work.right - width;
  }
  if (top < work.top) {
    top = work.top;
  } else if (top + height > work.bottom) {
    top = work.bottom - height;
  }
  ::SetWindowPos(window_, nullptr, left, top, -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWindowWnd::ShowWindow(bool show, bool takeFocus) {
  if (!::IsWindow(window_)) return;
  ::ShowWindow(window_, show ? (takeFocus ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE) : SW_HIDE);
}

UINT CWindowWnd::ShowModal() {
  // The object may be gone when the loop ends (windows often delete themselves in OnFinalMessage), so
  // everything needed afterwards lives in locals.
  HWND window = window_;
  HWND owner = ::GetWindow(window, GW_OWNER);
  ::ShowWindow(window, SW_SHOWNORMAL);
  if (owner != nullptr) ::EnableWindow(owner, FALSE);
  UINT result = 0;
  MSG msg{};
  bool quit = false;
  while (::IsWindow(window)) {
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      quit = true;
      break;
    }
    if (got < 0) break;
    if (msg.message == WM_CLOSE && msg.hwnd == window) {
      result = static_cast<UINT>(msg.wParam);
      // The owner must be usable again before this window goes, or activation would pass elsewhere.
      if (owner != nullptr) {
        ::EnableWindow(owner, TRUE);
        ::SetFocus(owner);
      }
    }
    if (!CPaintManagerUI::TranslateMessage(&msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
  if (owner != nullptr) {
    ::EnableWindow(owner, TRUE);
    ::SetFocus(owner);
  }
  if (quit) ::PostQuitMessage(static_cast<int>(msg.wParam));
  return result;
}

void CWindowWnd::Close(UINT code) {
  if (::IsWindow(window_)) ::PostMessageW(window_, WM_CLOSE, static_cast<WPARAM>(code), 0);
}

LRESULT CWindowWnd::SendMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  return ::SendMessageW(window_, msg, wParam, lParam);
}

LRESULT CWindowWnd::PostMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  return ::PostMessageW(window_, msg, wParam, lParam);
}

int CWindowWnd::GetDpiAtPoint(int x, int y) {
  POINT pt = {x, y};
  return CPaintManagerUI::GetMonitorDpi(pt);
}

int CWindowWnd::GetDpiOfWindowMonitor(HWND window) {
  return CPaintManagerUI::GetMonitorDpi(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
}

}  // namespace Veneer
