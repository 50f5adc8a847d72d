// The paint manager's message handling: window messages become control events, in a fixed order.
#include <windows.h>
#include <windowsx.h>

#include <commctrl.h>

#include "veneer/control.h"
#include "veneer/paint_manager.h"

namespace Veneer {
namespace {

WORD MapKeyState() {
  WORD state = 0;
  if (::GetKeyState(VK_LBUTTON) < 0) state |= 0x01;
  if (::GetKeyState(VK_RBUTTON) < 0) state |= 0x02;
  if (::GetKeyState(VK_SHIFT) < 0) state |= 0x04;
  if (::GetKeyState(VK_CONTROL) < 0) state |= 0x08;
  if (::GetKeyState(VK_MENU) < 0) state |= 0x20;
  return state;
}

POINT PointFromLParam(LPARAM lParam) {
  POINT pt;
  pt.x = GET_X_LPARAM(lParam);
  pt.y = GET_Y_LPARAM(lParam);
  return pt;
}

}  // namespace

void CPaintManagerUI::SendEvent(CControlUI* control, int type, WPARAM wParam, LPARAM lParam, wchar_t key) {
  if (control == nullptr) return;
  EventRecord event;
  event.type = type;
  event.sender = control;
  event.timestamp = ::GetTickCount();
  event.mouse = lastMouse_;
  event.key = key;
  event.keyState = MapKeyState();
  event.wParam = wParam;
  event.lParam = lParam;
  control->Event(event);
}

bool CPaintManagerUI::MessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (window_ == nullptr) return false;

  // 1. Message filters see everything first; the mouse position is current for them.
  switch (msg) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP: lastMouse_ = PointFromLParam(lParam); break;
    case WM_CONTEXTMENU:
    case WM_MOUSEWHEEL: {
      POINT pt = PointFromLParam(lParam);
      ::ScreenToClient(window_, &pt);
      lastMouse_ = pt;
      break;
    }
    default: break;
  }
  // The focus outline is for keyboard users; a press of the mouse, wherever it lands, hides it.
  if (msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN) ShowFocusMark(false);
  for (size_t i = 0; i < messageFilters_.size(); ++i) {
    bool handled = false;
    const LRESULT filtered = messageFilters_[i]->MessageHandler(msg, wParam, lParam, handled);
    if (handled) {
      result = filtered;
      return true;
    }
  }

  // 2. A layered window draws its own frame (none).
  if (layered_) {
    switch (msg) {
      case WM_NCCALCSIZE:
      case WM_NCPAINT: result = 0; return true;
      case WM_NCACTIVATE:
        if (!::IsIconic(window_)) {
          result = wParam == FALSE ? 1 : 0;
          return true;
        }
        break;
      default: break;
    }
  }

  switch (msg) {
    case WM_ERASEBKGND: result = 1; return true;
    case WM_PAINT:
      OnPaint();
      result = 0;
      return true;
    case WM_WINDOWPOSCHANGED:
      // A layered window gets no paint of its own when it is shown; its content is pushed by the paint.
      if (layered_ && (reinterpret_cast<const WINDOWPOS*>(lParam)->flags & SWP_SHOWWINDOW)) Invalidate();
      break;
    case WM_SIZE:
      if (focus_ != nullptr) SendEvent(focus_, UiEvent::WindowSize, wParam, lParam);
      if (root_ != nullptr) root_->NeedUpdate();
      break;
    case WM_TIMER:
      for (const TimerRecord& timer : timers_) {
        if (timer.window == window_ && timer.nativeId == wParam && !timer.killed) {
          SendEvent(timer.control, UiEvent::Timer, timer.localId, lParam);
          break;
        }
      }
      break;
    case WM_MOUSEMOVE: {
      if (!mouseTracking_) {
        TRACKMOUSEEVENT track = {sizeof(track), TME_HOVER | TME_LEAVE, window_, hoverTime_};
        if (tooltip_ != nullptr)
          track.dwHoverTime = static_cast<DWORD>(::SendMessageW(tooltip_, TTM_GETDELAYTIME, TTDT_INITIAL, 0));
        ::TrackMouseEvent(&track);
        mouseTracking_ = true;
      }
      CControlUI* under = FindControl(lastMouse_);
      if (under != nullptr && under->GetManager() != this) break;
      if (!mouseCaptured_ && under != hover_) {
        CControlUI* old = hover_;
        if (old != nullptr) SendEvent(old, UiEvent::MouseLeave, wParam, lParam);
        if (tooltip_ != nullptr)
          ::SendMessageW(tooltip_, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&toolInfo_));
        hover_ = under;
        if (hover_ != nullptr) SendEvent(hover_, UiEvent::MouseEnter, wParam, lParam);
      }
      if (pressed_ != nullptr) {
        SendEvent(pressed_, UiEvent::MouseMove, wParam, lParam);
      } else if (under != nullptr) {
        SendEvent(under, UiEvent::MouseMove, wParam, lParam);
      }
      break;
    }
    case WM_MOUSEHOVER: {
      mouseTracking_ = false;
      const POINT pt = PointFromLParam(lParam);
      if (hover_ != nullptr) SendEvent(hover_, UiEvent::MouseHover, wParam, lParam);
      CControlUI* under = FindControl(pt);
      if (under == nullptr || under->GetToolTip().empty()) break;
      if (tooltip_ == nullptr) {
        tooltip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                     CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr,
                                     GetInstance(), nullptr);
      }
      if (tooltip_ == nullptr) break;
      static std::wstring tipText;
      tipText = under->GetToolTip();
      toolInfo_ = TOOLINFOW{};
      toolInfo_.cbSize = sizeof(TOOLINFOW);
      toolInfo_.uFlags = TTF_IDISHWND | TTF_TRACK | TTF_ABSOLUTE;
      toolInfo_.hwnd = window_;
      toolInfo_.uId = reinterpret_cast<UINT_PTR>(window_);
      toolInfo_.hinst = GetInstance();
      toolInfo_.lpszText = tipText.data();
      toolInfo_.rect = under->GetPos();
      if (!tooltipShown_) {
        ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&toolInfo_));
        tooltipShown_ = true;
      }
      ::SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, under->GetToolTipWidth());
      ::SendMessageW(tooltip_, TTM_SETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&toolInfo_));
      POINT screen = {under->GetPos().left, under->GetPos().bottom};
      ::ClientToScreen(window_, &screen);
      ::SendMessageW(tooltip_, TTM_TRACKPOSITION, 0, MAKELPARAM(screen.x, screen.y));
      ::SendMessageW(tooltip_, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&toolInfo_));
      break;
    }
    case WM_MOUSELEAVE: {
      if (tooltip_ != nullptr) ::SendMessageW(tooltip_, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&toolInfo_));
      if (mouseTracking_) {
        POINT pt{};
        RECT client{};
        ::GetCursorPos(&pt);
        ::ScreenToClient(window_, &pt);
        ::GetClientRect(window_, &client);
        if (Contains(client, pt) && ::GetActiveWindow() == window_ && !::IsIconic(window_)) {
          ::SendMessageW(window_, WM_MOUSEMOVE, 0, MAKELPARAM(pt.x, pt.y));
        } else {
          ::SendMessageW(window_, WM_MOUSEMOVE, 0, MAKELPARAM(-1, -1));
        }
      }
      mouseTracking_ = false;
      break;
    }
    case WM_LBUTTONDOWN: {
      if (!noActivate_) ::SetFocus(window_);
      CControlUI* control = FindControl(lastMouse_);
      if (control == nullptr || control->GetManager() != this) break;
      SetCapture();
      pressed_ = control;
      control->SetFocus();
      SendEvent(control, UiEvent::ButtonDown, wParam, lParam);
      break;
    }
    case WM_LBUTTONDBLCLK: {
      if (!noActivate_) ::SetFocus(window_);
      CControlUI* control = FindControl(lastMouse_);
      if (control == nullptr || control->GetManager() != this) break;
      SendEvent(control, UiEvent::DblClick, wParam, lParam);
      pressed_ = control;
      break;
    }
    case WM_LBUTTONUP: {
      if (pressed_ == nullptr) break;
      ReleaseCapture();
      CControlUI* control = pressed_;
      SendEvent(control, UiEvent::ButtonUp, wParam, lParam);
      pressed_ = nullptr;
      break;
    }
    case WM_RBUTTONDOWN: {
      if (!noActivate_) ::SetFocus(window_);
      lastMouse_ = PointFromLParam(lParam);
      CControlUI* control = FindControl(lastMouse_);
      if (control == nullptr || control->GetManager() != this) break;
      control->SetFocus();
      SetCapture();
      rightPressed_ = control;
      SendEvent(control, UiEvent::RButtonDown, wParam, lParam);
      break;
    }
    case WM_RBUTTONUP: {
      if (rightPressed_ == nullptr) break;
      lastMouse_ = PointFromLParam(lParam);
      ReleaseCapture();
      SendEvent(rightPressed_, UiEvent::RButtonUp, wParam, lParam);
      break;
    }
    case WM_MBUTTONDOWN: {
      if (!noActivate_) ::SetFocus(window_);
      lastMouse_ = PointFromLParam(lParam);
      CControlUI* control = FindControl(lastMouse_);
      if (control == nullptr || control->GetManager() != this) break;
      SetCapture();
      pressed_ = control;
      SendEvent(control, UiEvent::MButtonDown, wParam, lParam);
      break;
    }
    case WM_MBUTTONUP: {
      if (pressed_ == nullptr) break;
      lastMouse_ = PointFromLParam(lParam);
      ReleaseCapture();
      SendEvent(pressed_, UiEvent::MButtonUp, wParam, lParam);
      pressed_ = nullptr;
      break;
    }
    case WM_CONTEXTMENU: {
      if (rightPressed_ == nullptr) break;
      ReleaseCapture();
      CControlUI* control = rightPressed_;
      rightPressed_ = nullptr;
      SendEvent(control, UiEvent::ContextMenu, wParam, lParam);
      break;
    }
    case WM_MOUSEWHEEL: {
      CControlUI* control = FindControl(lastMouse_);
      if (control == nullptr || control->GetManager() != this) break;
      const int delta = GET_WHEEL_DELTA_WPARAM(wParam);
      SendEvent(control, UiEvent::ScrollWheel, MAKEWPARAM(delta < 0 ? SB_LINEDOWN : SB_LINEUP, delta), lParam);
      // Refreshes the hover after the content moved under the mouse.
      ::SendMessageW(window_, WM_MOUSEMOVE, 0, MAKELPARAM(lastMouse_.x, lastMouse_.y));
      break;
    }
    case WM_SETCURSOR: {
      if (LOWORD(lParam) != HTCLIENT || mouseCaptured_) break;
      POINT pt{};
      ::GetCursorPos(&pt);
      ::ScreenToClient(window_, &pt);
      CControlUI* control = FindControl(pt);
      if (control == nullptr || !(control->GetControlFlags() & kControlFlagSetCursor)) break;
      SendEvent(control, UiEvent::SetCursor, wParam, lParam);
      result = TRUE;
      return true;
    }
    case WM_KEYDOWN:
      if (focus_ == nullptr) break;
      SendEvent(focus_, UiEvent::KeyDown, wParam, lParam, static_cast<wchar_t>(wParam));
      keyTarget_ = focus_;
      break;
    case WM_KEYUP:
      if (keyTarget_ == nullptr) break;
      SendEvent(keyTarget_, UiEvent::KeyUp, wParam, lParam, static_cast<wchar_t>(wParam));
      keyTarget_ = nullptr;
      break;
    case WM_CHAR:
      if (focus_ == nullptr) break;
      SendEvent(focus_, UiEvent::Char, wParam, lParam, static_cast<wchar_t>(wParam));
      break;
    case WM_SETFOCUS:
      if (focus_ != nullptr) SendEvent(focus_, UiEvent::SetFocus, wParam, lParam);
      break;
    case WM_KILLFOCUS:
      if (mouseCaptured_) ReleaseCapture();
      break;
    case WM_CLOSE: {
      if (hover_ != nullptr) SendEvent(hover_, UiEvent::MouseLeave, wParam, lParam);
      if (pressed_ != nullptr) SendEvent(pressed_, UiEvent::ButtonUp, wParam, lParam);
      if (rightPressed_ != nullptr) SendEvent(rightPressed_, UiEvent::RButtonUp, wParam, lParam);
      SetFocus(nullptr);
      if (::GetActiveWindow() == window_) {
        HWND owner = ::GetWindow(window_, GW_OWNER);
        if (owner != nullptr) ::SetFocus(owner);
      }
      if (tooltip_ != nullptr) {
        ::DestroyWindow(tooltip_);
        tooltip_ = nullptr;
        tooltipShown_ = false;
      }
      break;
    }
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      if (minInfo_.cx > 0) info->ptMinTrackSize.x = minInfo_.cx;
      if (minInfo_.cy > 0) info->ptMinTrackSize.y = minInfo_.cy;
      if (maxInfo_.cx > 0) info->ptMaxTrackSize.x = info->ptMaxSize.x = maxInfo_.cx;
      if (maxInfo_.cy > 0) info->ptMaxTrackSize.y = info->ptMaxSize.y = maxInfo_.cy;
      break;
    }
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      if (header != nullptr && header->hwndFrom != nullptr)
        result = ::SendMessageW(header->hwndFrom, msg + 0x2000, wParam, lParam);
      break;
    }
    case WM_COMMAND:
      if (lParam != 0) result = ::SendMessageW(reinterpret_cast<HWND>(lParam), msg + 0x2000, wParam, lParam);
      break;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
      if (lParam != 0) result = ::SendMessageW(reinterpret_cast<HWND>(lParam), msg + 0x2000, wParam, lParam);
      break;
    case WM_PRINTCLIENT: {
      if (root_ == nullptr) break;
      RECT client{};
      ::GetClientRect(window_, &client);
      HDC dc = reinterpret_cast<HDC>(wParam);
      root_->Paint(dc, client, nullptr);
      if (lParam & PRF_CHILDREN) {
        for (HWND child = ::GetWindow(window_, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
          RECT pos{};
          ::GetWindowRect(child, &pos);
          ::MapWindowPoints(HWND_DESKTOP, window_, reinterpret_cast<POINT*>(&pos), 2);
          POINT origin{};
          ::SetWindowOrgEx(dc, -pos.left, -pos.top, &origin);
          ::SendMessageW(child, WM_PRINT, wParam, lParam | PRF_NONCLIENT);
          ::SetWindowOrgEx(dc, origin.x, origin.y, nullptr);
        }
      }
      break;
    }
    case kMsgAsyncNotify: DeliverAsyncNotifications(); break;
    case WM_GETOBJECT:
      if (static_cast<LONG>(lParam) != OBJID_CLIENT || root_ == nullptr || windowDestroyed_) break;
      result = AnswerGetObject(wParam, lParam);
      return true;
    case kMsgAccessibleAction: RunAccessibleAction(reinterpret_cast<CControlUI*>(lParam)); return true;
    case WM_DESTROY:
      // Screen readers may still hold the window's object; it answers nothing once the window is gone,
      // and no new one is handed out.
      windowDestroyed_ = true;
      DisconnectAccessible();
      break;
    default: break;
  }
  return false;
}

namespace {
CControlUI* FindShortcutControl(CControlUI* control, void* data) {
  if (!control->IsVisible()) return nullptr;
  return control->GetShortcut() == *static_cast<wchar_t*>(data) ? control : nullptr;
}
}  // namespace

bool CPaintManagerUI::PreMessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  for (size_t i = 0; i < preMessageFilters_.size(); ++i) {
    bool handled = false;
    const LRESULT filtered = preMessageFilters_[i]->MessageHandler(msg, wParam, lParam, handled);
    if (handled) {
      result = filtered;
      return true;
    }
  }
  switch (msg) {
    case WM_KEYDOWN:
      if (wParam == VK_TAB) {
        // A field that takes Tab as text keeps it; rich edit fields answer "WantTab" when they do.
        if (focus_ != nullptr && focus_->IsVisible() && focus_->IsEnabled() &&
            focus_->GetInterface(L"WantTab") != nullptr)
          return false;
        // The keyboard user sees where the focus went. The key is consumed, so that the field the focus
        // lands in does not receive it as a character.
        ShowFocusMark(true);
        SetNextTabControl(::GetKeyState(VK_SHIFT) >= 0);
        return true;
      }
      break;
    case WM_SYSKEYDOWN:
      if (focus_ != nullptr) SendEvent(focus_, UiEvent::SysKey, wParam, lParam, static_cast<wchar_t>(wParam));
      break;
    case WM_SYSCHAR: {
      if (root_ == nullptr) break;
      wchar_t wanted = static_cast<wchar_t>(
          reinterpret_cast<ULONG_PTR>(::CharUpperW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(wParam)))));
      CControlUI* control =
          root_->FindControl(&FindShortcutControl, &wanted, kFindEnabled | kFindMeFirst | kFindTopFirst);
      if (control != nullptr) {
        control->SetFocus();
        control->Activate();
        return true;
      }
      break;
    }
    default: break;
  }
  return false;
}

}  // namespace Veneer
