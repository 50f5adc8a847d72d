// CWindowWnd: one native window bound to an object. It registers the window class, creates the window
// with a pointer back to the object, routes every message to the virtual HandleMessage, and offers
// centring, showing, a modal message loop and closing with a code.
#pragma once

#include <windows.h>

namespace Veneer {

class CWindowWnd {
 public:
  CWindowWnd() = default;
  CWindowWnd(const CWindowWnd&) = delete;
  CWindowWnd& operator=(const CWindowWnd&) = delete;

  [[nodiscard]] HWND GetHWND() const { return window_; }
  operator HWND() const { return window_; }  // NOLINT: the window object stands for its handle

  bool RegisterWindowClass();
  bool RegisterSuperclass();

  HWND Create(HWND parent, const wchar_t* title, DWORD style, DWORD exStyle, int x = CW_USEDEFAULT,
              int y = CW_USEDEFAULT, int width = CW_USEDEFAULT, int height = CW_USEDEFAULT, HMENU menu = nullptr);
  HWND Create(HWND parent, const wchar_t* title, DWORD style, DWORD exStyle, const RECT& rc, HMENU menu = nullptr);
  // Takes over an existing window: its messages reach HandleMessage, its old procedure stays the default.
  HWND Subclass(HWND window);
  void Unsubclass();

  // Centres on the owner, or on the work area without one, and keeps the window inside the work area.
  void CenterWindow();
  void ShowWindow(bool show = true, bool takeFocus = true);
  // Shows the window, disables its owner and runs a message loop until the window is gone. Returns the
  // code of the WM_CLOSE that closed it (Close), or 0.
  UINT ShowModal();
  // Posts WM_CLOSE carrying the code.
  void Close(UINT code = IDOK);
  LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
  LRESULT PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

  // DPI of the monitor that holds the screen point (or the nearest one).
  static int GetDpiAtPoint(int x, int y);
  // DPI of the monitor a window is on, or will open on: the one showing most of it, else the nearest.
  static int GetDpiOfWindowMonitor(HWND window);

  // The two window procedures: one for classes of this toolkit, one for superclassed system controls.
  static LRESULT CALLBACK WndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ControlProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);

 protected:
  // No virtual destructor: window objects are owned and destroyed by their concrete type.
  ~CWindowWnd() = default;

  virtual const wchar_t* GetWindowClassName() const = 0;
  virtual const wchar_t* GetSuperClassName() const;
  virtual UINT GetClassStyle() const;
  virtual LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  virtual void OnFinalMessage(HWND window);

  HWND window_ = nullptr;
  WNDPROC oldWndProc_ = ::DefWindowProcW;
  bool subclassed_ = false;

 private:
  static LRESULT FinishWindow(CWindowWnd* self, HWND window, UINT msg, WPARAM wParam, LPARAM lParam, bool control);
};

}  // namespace Veneer
