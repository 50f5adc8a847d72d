#include "veneer/window_impl_base.h"

#include <windowsx.h>

#include <cstdlib>
#include <cwchar>
#include <cwctype>

#include "veneer/attribute_text.h"
#include "veneer/control.h"

namespace Veneer {

// --- Notification pump ------------------------------------------------------------------------------

const NotifyMap* CNotifyPump::GetThisMessageMap() {
  static const NotifyMapEntry entries[] = {{nullptr, nullptr, kNotifySignatureEnd, nullptr, nullptr}};
  static const NotifyMap map = {nullptr, entries};
  return &map;
}

const NotifyMap* CNotifyPump::GetMessageMap() const { return GetThisMessageMap(); }

bool CNotifyPump::AddVirtualWnd(const std::wstring& name, CNotifyPump* pump) {
  if (name.empty() || pump == nullptr) return false;
  return virtualWnds_.Insert(name, pump);
}

bool CNotifyPump::RemoveVirtualWnd(const std::wstring& name) { return virtualWnds_.Remove(name); }

void CNotifyPump::NotifyPump(NotifyRecord& msg) {
  if (!msg.virtualWnd.empty()) {
    CNotifyPump* target = nullptr;
    virtualWnds_.ForEach([&](const std::wstring& key, CNotifyPump* pump) {
      if (target == nullptr && EqualsNoCase(key, msg.virtualWnd)) target = pump;
    });
    if (target != nullptr && target->LoopDispatch(msg)) return;
  }
  LoopDispatch(msg);
}

bool CNotifyPump::LoopDispatch(NotifyRecord& msg) {
  const std::wstring sender = msg.sender != nullptr ? msg.sender->GetName() : std::wstring();
  for (const NotifyMap* map = GetMessageMap(); map != nullptr; map = map->base != nullptr ? map->base() : nullptr) {
    const NotifyMapEntry* chosen = nullptr;
    for (const NotifyMapEntry* entry = map->entries; entry->signature != kNotifySignatureEnd; ++entry) {
      if (msg.type != entry->type) continue;
      const bool anyControl = entry->controlName == nullptr || entry->controlName[0] == 0;
      if (!anyControl && sender == entry->controlName) {
        chosen = entry;
        break;
      }
      if (anyControl) chosen = entry;
    }
    if (chosen == nullptr) continue;
    if (chosen->signature == kNotifySignatureParams) {
      (this->*chosen->onParams)(msg.wParam, msg.lParam);
    } else {
      (this->*chosen->onRecord)(msg);
    }
    return true;
  }
  return false;
}

// --- WindowImplBase -----------------------------------------------------------------------------------

VENEER_BEGIN_NOTIFY_MAP(WindowImplBase)
VENEER_ON_NOTIFY(L"click", L"", OnClick)
VENEER_END_NOTIFY_MAP(CNotifyPump)

WindowImplBase::~WindowImplBase() = default;

UINT WindowImplBase::GetClassStyle() const { return CS_DBLCLKS; }

void WindowImplBase::OnFinalMessage(HWND /*window*/) {
  paintManager_.RemovePreMessageFilter(this);
  paintManager_.RemoveNotifier(this);
  // The control tree stays with the paint manager and goes with this object.
}

LONG WindowImplBase::GetStyle() { return ::GetWindowLongW(window_, GWL_STYLE) & ~WS_CAPTION; }

LRESULT WindowImplBase::ResponseDefaultKeyEvent(WPARAM key) { return key == VK_ESCAPE ? 1 : 0; }

void WindowImplBase::Notify(NotifyRecord& msg) { NotifyPump(msg); }

LRESULT WindowImplBase::MessageHandler(UINT msg, WPARAM wParam, LPARAM /*lParam*/, bool& /*handled*/) {
  if (msg == WM_KEYDOWN && (wParam == VK_RETURN || wParam == VK_ESCAPE)) return ResponseDefaultKeyEvent(wParam);
  return 0;
}

CControlUI* WindowImplBase::CreateControl(const wchar_t* /*className*/) { return nullptr; }

const wchar_t* WindowImplBase::QueryControlText(const wchar_t* /*name*/, const wchar_t* /*className*/) {
  return nullptr;
}

void WindowImplBase::ShowMaximizedButtons(bool maximized) {
  if (CControlUI* max = paintManager_.FindControl(L"maxbtn")) max->SetVisible(!maximized);
  if (CControlUI* restore = paintManager_.FindControl(L"restorebtn")) restore->SetVisible(maximized);
}

void WindowImplBase::OnClick(NotifyRecord& msg) {
  if (msg.sender == nullptr) return;
  const std::wstring name = msg.sender->GetName();
  if (name == L"closebtn") {
    Close(1);
  } else if (name == L"minbtn") {
    SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
  } else if (name == L"maxbtn") {
    SendMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  } else if (name == L"restorebtn") {
    SendMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
  }
}

bool WindowImplBase::IsInStaticControl(CControlUI* control) {
  static const wchar_t* const kStatic[] = {
      L"controlui",        L"textui",      L"labelui",       L"containerui",    L"horizontallayoutui",
      L"verticallayoutui", L"tablayoutui", L"childlayoutui", L"dialoglayoutui", L"progresscontainerui"};
  if (control == nullptr) return false;
  for (CControlUI* current = control; current != nullptr; current = current->GetParent()) {
    std::wstring cls = current->GetClass();
    for (wchar_t& c : cls) c = static_cast<wchar_t>(std::towlower(c));
    bool listed = false;
    for (const wchar_t* name : kStatic) listed = listed || cls == name;
    if (!listed) return false;
  }
  return true;
}

// --- Message dispatch -----------------------------------------------------------------------------------

LRESULT WindowImplBase::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  // 1. Non-client mouse messages over a maximise button become client messages.
  switch (msg) {
    case WM_NCMOUSEMOVE:
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONUP:
    case WM_NCLBUTTONDBLCLK:
    case WM_NCMOUSEHOVER:
    case WM_NCMOUSELEAVE:
      if (wParam == HTMAXBUTTON) {
        POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ::ScreenToClient(window_, &pt);
        const LPARAM client = MAKELPARAM(pt.x, pt.y);
        if (msg == WM_NCLBUTTONDOWN) SendMessage(WM_LBUTTONDOWN, 0, client);
        if (msg == WM_NCLBUTTONUP) SendMessage(WM_LBUTTONUP, HTMAXBUTTON, client);
        if (msg == WM_NCMOUSEMOVE) SendMessage(WM_MOUSEMOVE, 0, client);
        return 0;
      }
      break;
    default: break;
  }

  // The window was moved onto a monitor with another scale (per-monitor DPI awareness): fonts, images and
  // sizes follow the new DPI, and the window takes the rectangle the system suggests for it.
  if (msg == WM_DPICHANGED) {
    paintManager_.SetDPI(LOWORD(wParam));
    const auto* suggested = reinterpret_cast<const RECT*>(lParam);
    if (suggested != nullptr) {
      ::SetWindowPos(window_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return 0;
  }

  // 2. The handlers of the dispatch table.
  bool handled = true;
  LRESULT result = 0;
  switch (msg) {
    case WM_CLOSE: result = OnClose(msg, wParam, lParam, handled); break;
    case WM_DESTROY: result = OnDestroy(msg, wParam, lParam, handled); break;
    case WM_NCACTIVATE: result = OnNcActivate(msg, wParam, lParam, handled); break;
    case WM_NCCALCSIZE: result = OnNcCalcSize(msg, wParam, lParam, handled); break;
    case WM_NCPAINT: result = OnNcPaint(msg, wParam, lParam, handled); break;
    case WM_NCHITTEST: result = OnNcHitTest(msg, wParam, lParam, handled); break;
    case WM_GETMINMAXINFO: result = OnGetMinMaxInfo(msg, wParam, lParam, handled); break;
    case WM_MOUSEWHEEL: result = OnMouseWheel(msg, wParam, lParam, handled); break;
    case WM_MOUSEHOVER: result = OnMouseHover(msg, wParam, lParam, handled); break;
    case WM_SIZE: result = OnSize(msg, wParam, lParam, handled); break;
    case WM_CHAR: result = OnChar(msg, wParam, lParam, handled); break;
    case WM_SYSCOMMAND: result = OnSysCommand(msg, wParam, lParam, handled); break;
    case WM_CREATE: result = OnCreate(msg, wParam, lParam, handled); break;
    case WM_KEYDOWN: result = OnKeyDown(msg, wParam, lParam, handled); break;
    case WM_KILLFOCUS: result = OnKillFocus(msg, wParam, lParam, handled); break;
    case WM_SETFOCUS: result = OnSetFocus(msg, wParam, lParam, handled); break;
    case WM_LBUTTONDOWN: result = OnLButtonDown(msg, wParam, lParam, handled); break;
    case WM_LBUTTONUP: result = OnLButtonUp(msg, wParam, lParam, handled); break;
    case WM_MOUSEMOVE: result = OnMouseMove(msg, wParam, lParam, handled); break;
    default: handled = false; break;
  }
  if (handled) return result;

  // 3. The derived window's own messages.
  handled = false;
  result = HandleCustomMessage(msg, wParam, lParam, handled);
  if (handled) return result;

  // 4. The controls, 5. the default procedure.
  if (paintManager_.MessageHandler(msg, wParam, lParam, result)) return result;
  return CWindowWnd::HandleMessage(msg, wParam, lParam);
}

#define VENEER_PASS_ON(name)                                                                        \
  LRESULT WindowImplBase::name(UINT /*msg*/, WPARAM /*wParam*/, LPARAM /*lParam*/, bool& handled) { \
    handled = false;                                                                                \
    return 0;                                                                                       \
  }
VENEER_PASS_ON(OnClose)
VENEER_PASS_ON(OnDestroy)
VENEER_PASS_ON(OnMouseWheel)
VENEER_PASS_ON(OnMouseHover)
VENEER_PASS_ON(OnChar)
VENEER_PASS_ON(OnKeyDown)
VENEER_PASS_ON(OnKillFocus)
VENEER_PASS_ON(OnSetFocus)
VENEER_PASS_ON(OnLButtonDown)
VENEER_PASS_ON(OnLButtonUp)
VENEER_PASS_ON(OnMouseMove)
#undef VENEER_PASS_ON

LRESULT WindowImplBase::HandleCustomMessage(UINT /*msg*/, WPARAM /*wParam*/, LPARAM /*lParam*/, bool& handled) {
  handled = false;
  return 0;
}

// The whole window is client area: no native frame is measured or painted.
LRESULT WindowImplBase::OnNcCalcSize(UINT, WPARAM, LPARAM, bool&) { return 0; }
LRESULT WindowImplBase::OnNcPaint(UINT, WPARAM, LPARAM, bool&) { return 0; }

LRESULT WindowImplBase::OnNcActivate(UINT /*msg*/, WPARAM wParam, LPARAM /*lParam*/, bool& handled) {
  if (::IsIconic(window_)) handled = false;
  return wParam == 0 ? 1 : 0;
}

LRESULT WindowImplBase::OnNcHitTest(UINT /*msg*/, WPARAM /*wParam*/, LPARAM lParam, bool& /*handled*/) {
  // 1. Where, in client coordinates.
  POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  ::ScreenToClient(window_, &pt);
  RECT client{};
  ::GetClientRect(window_, &client);

  // 2. A maximise (or restore) button.
  CControlUI* button = paintManager_.FindControl(L"maxbtn");
  if (button == nullptr || !button->IsVisible()) button = paintManager_.FindControl(L"restorebtn");
  if (button != nullptr && button->IsVisible() && Contains(button->GetPos(), pt)) return HTMAXBUTTON;

  // 3. The resize borders.
  if (!::IsZoomed(window_)) {
    const RECT box = paintManager_.GetSizeBox();
    if (pt.y < client.top + box.top) {
      if (pt.x < client.left + box.left) return HTTOPLEFT;
      if (pt.x > client.right - box.right) return HTTOPRIGHT;
      return HTTOP;
    }
    if (pt.y > client.bottom - box.bottom) {
      if (pt.x < client.left + box.left) return HTBOTTOMLEFT;
      if (pt.x > client.right - box.right) return HTBOTTOMRIGHT;
      return HTBOTTOM;
    }
    if (pt.x < client.left + box.left) return HTLEFT;
    if (pt.x > client.right - box.right) return HTRIGHT;
  }

  // 4. The caption area drags the window, but only where no button or field lies.
  RECT caption = paintManager_.GetCaptionRect();
  if (caption.bottom < 0) caption.bottom = client.bottom;
  if (pt.x >= client.left + caption.left && pt.x < client.right - caption.right && pt.y >= caption.top &&
      pt.y < caption.bottom) {
    return IsInStaticControl(paintManager_.FindControl(pt)) ? HTCAPTION : HTCLIENT;
  }
  // 5. Everything else is client area.
  return HTCLIENT;
}

LRESULT WindowImplBase::OnGetMinMaxInfo(UINT /*msg*/, WPARAM /*wParam*/, LPARAM lParam, bool& /*handled*/) {
  auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  ::GetMonitorInfoW(::MonitorFromWindow(window_, MONITOR_DEFAULTTOPRIMARY), &monitor);
  RECT work = monitor.rcWork;
  if (!(monitor.dwFlags & MONITORINFOF_PRIMARY)) ::OffsetRect(&work, -work.left, -work.top);
  const long width = work.right - work.left;
  const long height = work.bottom - work.top;
  info->ptMaxPosition.x = work.left;
  info->ptMaxPosition.y = work.top;
  info->ptMaxSize.x = width;
  info->ptMaxSize.y = height;
  const SIZE maxTrack = paintManager_.GetMaxInfo();
  info->ptMaxTrackSize.x = maxTrack.cx != 0 ? maxTrack.cx : width;
  info->ptMaxTrackSize.y = maxTrack.cy != 0 ? maxTrack.cy : height;
  const SIZE minTrack = paintManager_.GetMinInfo();
  info->ptMinTrackSize.x = minTrack.cx;
  info->ptMinTrackSize.y = minTrack.cy;
  return 0;
}

LRESULT WindowImplBase::OnSize(UINT /*msg*/, WPARAM wParam, LPARAM /*lParam*/, bool& handled) {
  const SIZE corner = paintManager_.GetRoundCorner();
  if (!::IsIconic(window_)) {
    RECT rc{};
    ::GetWindowRect(window_, &rc);
    // The window owns the region from here on.
    HRGN region = ::CreateRoundRectRgn(0, 0, rc.right - rc.left + 1, rc.bottom - rc.top + 1, corner.cx, corner.cy);
    if (region != nullptr && ::SetWindowRgn(window_, region, TRUE) == 0) ::DeleteObject(region);
  }
  if (paintManager_.GetRoot() != nullptr && wParam == SIZE_RESTORED) ShowMaximizedButtons(false);
  handled = false;
  return 0;
}

LRESULT WindowImplBase::OnSysCommand(UINT msg, WPARAM wParam, LPARAM lParam, bool& /*handled*/) {
  if ((wParam & 0xFFF0) == SC_CLOSE) {
    SendMessage(WM_CLOSE);
    return 0;
  }
  const bool wasZoomed = ::IsZoomed(window_) != FALSE;
  const LRESULT result = CWindowWnd::HandleMessage(msg, wParam, lParam);
  if (window_ != nullptr) {
    const bool zoomed = ::IsZoomed(window_) != FALSE;
    if (zoomed != wasZoomed) ShowMaximizedButtons(zoomed);
  }
  return result;
}

LRESULT WindowImplBase::OnCreate(UINT /*msg*/, WPARAM /*wParam*/, LPARAM /*lParam*/, bool& /*handled*/) {
  // 1. No native caption.
  const LONG style = ::GetWindowLongW(window_, GWL_STYLE);
  ::SetWindowLongW(window_, GWL_STYLE, (style & ~WS_CAPTION) | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);

  // 2. The paint manager, with the window as its pre-message filter.
  paintManager_.Init(window_, GetManagerName());
  paintManager_.AddPreMessageFilter(this);

  // 3. The control tree, from a skin file or a program resource.
  CSkinBuilder builder;
  CControlUI* root = nullptr;
  const std::wstring type = GetSkinType();
  const std::wstring file = GetSkinFile();
  if (type.empty()) {
    root = builder.Create(file.c_str(), nullptr, this, &paintManager_);
  } else {
    const WORD id = static_cast<WORD>(std::wcstol(file.c_str(), nullptr, 10) & 0xFFFF);
    root = builder.Create(MAKEINTRESOURCEW(id), type.c_str(), this, &paintManager_);
  }

  // 4. A window without controls cannot work; the process ends here.
  if (root == nullptr) ::ExitProcess(1);

  // 5. Live.
  paintManager_.AttachDialog(root);
  paintManager_.AddNotifier(this);
  InitWindow();
  return 0;
}

}  // namespace Veneer
