// The paint manager's core: life cycle, the control tree, notifications, timers, focus and the message loop.
#include "veneer/paint_manager.h"

#include <commctrl.h>
#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>

#include "veneer/accessible.h"
#include "veneer/control.h"
#include "veneer/paint_manager_shared.h"

namespace Veneer {

SharedPaintState& Shared() {
  static SharedPaintState state;
  return state;
}

CPaintManagerUI::CPaintManagerUI() {
  SharedPaintState& shared = Shared();
  if (!shared.colorsSet) {
    shared.colorsSet = true;
    shared.updateRectPen.Reset(::CreatePen(PS_SOLID, 1, RGB(220, 0, 0)));
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
  }
  disabledColor_ = shared.disabledColor;
  fontColor_ = shared.fontColor;
  linkColor_ = shared.linkColor;
  linkHoverColor_ = shared.linkHoverColor;
  selectedColor_ = shared.selectedColor;
  Gdiplus::GdiplusStartupInput input;
  Gdiplus::GdiplusStartup(&gdiplusToken_, &input, nullptr);
}

CPaintManagerUI::~CPaintManagerUI() {
  DisconnectAccessible();
  // Controls still reach the manager while they are destroyed, so the tree goes first.
  for (CControlUI* control : delayedCleanup_) delete control;
  delayedCleanup_.clear();
  delete root_;
  root_ = nullptr;
  RemoveAllTimers();
  asyncNotify_.clear();
  namedControls_.Clear();
  images_.Clear();
  drawInfos_.Clear();
  fonts_.Clear();
  defaultFont_.font.Reset();
  for (HANDLE font : privateFonts_) ::RemoveFontMemResourceEx(font);
  if (tooltip_ != nullptr) ::DestroyWindow(tooltip_);
  if (offscreenDc_ && offscreenOldBitmap_ != nullptr) ::SelectObject(offscreenDc_.Get(), offscreenOldBitmap_);
  if (backgroundDc_ && backgroundOldBitmap_ != nullptr) ::SelectObject(backgroundDc_.Get(), backgroundOldBitmap_);
  if (windowDc_ != nullptr) ::ReleaseDC(window_, windowDc_);
  auto& managers = Shared().managers;
  managers.erase(std::remove(managers.begin(), managers.end(), this), managers.end());
  // Shared images may hold GDI+ bitmaps; they must not outlive the last GDI+ session.
  if (managers.empty()) Shared().images.Clear();
  if (gdiplusToken_ != 0) Gdiplus::GdiplusShutdown(gdiplusToken_);
}

void CPaintManagerUI::Init(HWND window, const wchar_t* name) {
  namedControls_.Clear();
  RemoveAllTimers();
  fonts_.Clear();
  images_.Clear();
  drawInfos_.Clear();
  styles_.Clear();
  defaultAttributes_.Clear();
  name_ = name != nullptr ? name : L"";
  if (window_ != window) {
    if (windowDc_ != nullptr) ::ReleaseDC(window_, windowDc_);
    window_ = window;
    windowDestroyed_ = false;
    windowDc_ = ::GetDC(window);
    auto& managers = Shared().managers;
    if (std::find(managers.begin(), managers.end(), this) == managers.end()) managers.push_back(this);
  }
}

SIZE CPaintManagerUI::GetClientSize() const {
  RECT client{};
  if (window_ != nullptr) ::GetClientRect(window_, &client);
  return MakeSize(Width(client), Height(client));
}

std::vector<CPaintManagerUI*>& CPaintManagerUI::GetManagers() { return Shared().managers; }

// ---------------------------------------------------------------------------------------------------
// Control tree

namespace {

CControlUI* RegisterName(CControlUI* control, void* data) {
  auto* table = static_cast<CNameTable<CControlUI*>*>(data);
  const std::wstring name = control->GetName();
  if (!name.empty()) table->Set(name, control);
  return nullptr;
}

CControlUI* HitTest(CControlUI* control, void* data) {
  const POINT* pt = static_cast<const POINT*>(data);
  return Contains(control->GetPos(), *pt) ? control : nullptr;
}

struct TabStopSearch {
  RECT client;
  std::vector<CControlUI*> stops;
};

// Tab stops a user can see: a control laid out outside the client area (the folder row below the
// collapsed window) is skipped.
CControlUI* CollectTabStops(CControlUI* control, void* data) {
  auto* search = static_cast<TabStopSearch*>(data);
  RECT inside{};
  if ((control->GetControlFlags() & kControlFlagTabStop) &&
      ::IntersectRect(&inside, &control->GetPos(), &search->client)) {
    search->stops.push_back(control);
  }
  return nullptr;
}

}  // namespace

bool CPaintManagerUI::AttachDialog(CControlUI* root) {
  SetFocus(nullptr);
  hover_ = nullptr;
  pressed_ = nullptr;
  rightPressed_ = nullptr;
  keyTarget_ = nullptr;
  if (root_ != nullptr) AddDelayedCleanup(root_);
  root_ = root;
  firstLayout_ = true;
  updateNeeded_ = true;
  focusNeeded_ = true;
  return InitControls(root);
}

bool CPaintManagerUI::InitControls(CControlUI* control, CControlUI* parent) {
  if (control == nullptr) return false;
  control->SetManager(this, parent != nullptr ? parent : control->GetParent(), true);
  control->FindControl(&RegisterName, &namedControls_, 0);
  return true;
}

void CPaintManagerUI::ReapObjects(CControlUI* control) {
  if (control == nullptr) return;
  if (focus_ == control) focus_ = nullptr;
  if (hover_ == control) hover_ = nullptr;
  if (pressed_ == control) pressed_ = nullptr;
  if (rightPressed_ == control) rightPressed_ = nullptr;
  if (keyTarget_ == control) keyTarget_ = nullptr;
  if (root_ == control) root_ = nullptr;
  KillTimer(control);
  namedControls_.RemoveIf([control](CControlUI* value) { return value == control; });
  postPaintControls_.erase(std::remove(postPaintControls_.begin(), postPaintControls_.end(), control),
                           postPaintControls_.end());
  // A queued notification must not reach a control that no longer exists.
  asyncNotify_.erase(std::remove_if(asyncNotify_.begin(), asyncNotify_.end(),
                                    [control](const auto& record) { return record->sender == control; }),
                     asyncNotify_.end());
}

void CPaintManagerUI::AddDelayedCleanup(CControlUI* control) {
  if (control == nullptr) return;
  control->SetManager(this, nullptr, false);
  delayedCleanup_.push_back(control);
  if (!asyncNotifyPosted_ && window_ != nullptr) {
    asyncNotifyPosted_ = true;
    ::PostMessageW(window_, kMsgAsyncNotify, 0, 0);
  }
}

CControlUI* CPaintManagerUI::FindControl(POINT pt) const {
  if (root_ == nullptr) return nullptr;
  return root_->FindControl(&HitTest, &pt, kFindVisible | kFindHitTest | kFindTopFirst);
}

CControlUI* CPaintManagerUI::FindControl(const wchar_t* name) {
  if (name == nullptr) return nullptr;
  CControlUI** found = namedControls_.Find(name);
  return found != nullptr ? *found : nullptr;
}

bool CPaintManagerUI::RenameControl(CControlUI* control, const wchar_t* oldName, const wchar_t* newName) {
  if (oldName != nullptr && FindControl(oldName) == control) namedControls_.Remove(oldName);
  if (newName != nullptr && newName[0] != 0) namedControls_.Set(newName, control);
  return true;
}

// ---------------------------------------------------------------------------------------------------
// Notifications and filters

namespace {
template <typename T>
bool AddUnique(std::vector<T*>& list, T* item) {
  if (item == nullptr || std::find(list.begin(), list.end(), item) != list.end()) return false;
  list.push_back(item);
  return true;
}
template <typename T>
bool RemoveItem(std::vector<T*>& list, T* item) {
  auto it = std::find(list.begin(), list.end(), item);
  if (it == list.end()) return false;
  list.erase(it);
  return true;
}
}  // namespace

bool CPaintManagerUI::AddNotifier(INotifyUI* notifier) { return AddUnique(notifiers_, notifier); }
bool CPaintManagerUI::RemoveNotifier(INotifyUI* notifier) { return RemoveItem(notifiers_, notifier); }
bool CPaintManagerUI::AddPreMessageFilter(IMessageFilterUI* filter) { return AddUnique(preMessageFilters_, filter); }
bool CPaintManagerUI::RemovePreMessageFilter(IMessageFilterUI* filter) {
  return RemoveItem(preMessageFilters_, filter);
}
bool CPaintManagerUI::AddMessageFilter(IMessageFilterUI* filter) { return AddUnique(messageFilters_, filter); }
bool CPaintManagerUI::RemoveMessageFilter(IMessageFilterUI* filter) { return RemoveItem(messageFilters_, filter); }
bool CPaintManagerUI::AddTranslateAccelerator(ITranslateAccelerator* translator) {
  return AddUnique(translators_, translator);
}
bool CPaintManagerUI::RemoveTranslateAccelerator(ITranslateAccelerator* translator) {
  return RemoveItem(translators_, translator);
}
bool CPaintManagerUI::AddPostPaint(CControlUI* control) { return AddUnique(postPaintControls_, control); }
bool CPaintManagerUI::RemovePostPaint(CControlUI* control) { return RemoveItem(postPaintControls_, control); }

bool CPaintManagerUI::AddNativeWindow(CControlUI* control, HWND window) {
  if (control == nullptr || window == nullptr) return false;
  nativeWindows_.emplace_back(control, window);
  return true;
}

bool CPaintManagerUI::RemoveNativeWindow(HWND window) {
  auto it = std::find_if(nativeWindows_.begin(), nativeWindows_.end(),
                         [window](const auto& entry) { return entry.second == window; });
  if (it == nativeWindows_.end()) return false;
  nativeWindows_.erase(it);
  return true;
}

void CPaintManagerUI::SendNotify(CControlUI* control, const wchar_t* type, WPARAM wParam, LPARAM lParam, bool async) {
  NotifyRecord msg;
  msg.sender = control;
  msg.type = type != nullptr ? type : L"";
  msg.wParam = wParam;
  msg.lParam = lParam;
  SendNotify(msg, async);
}

void CPaintManagerUI::SendNotify(NotifyRecord& msg, bool async) {
  msg.mouse = lastMouse_;
  msg.timestamp = ::GetTickCount();
  if (async) {
    asyncNotify_.push_back(std::make_unique<NotifyRecord>(msg));
    if (!asyncNotifyPosted_ && window_ != nullptr) {
      asyncNotifyPosted_ = true;
      ::PostMessageW(window_, kMsgAsyncNotify, 0, 0);
    }
    return;
  }
  if (msg.sender != nullptr) msg.sender->OnNotify(&msg);
  // A listener may add or remove listeners; walk by index over what is there.
  for (size_t i = 0; i < notifiers_.size(); ++i) notifiers_[i]->Notify(msg);
}

void CPaintManagerUI::DeliverAsyncNotifications() {
  for (CControlUI* control : std::exchange(delayedCleanup_, {})) delete control;
  asyncNotifyPosted_ = false;
  while (!asyncNotify_.empty()) {
    std::unique_ptr<NotifyRecord> record = std::move(asyncNotify_.front());
    asyncNotify_.erase(asyncNotify_.begin());
    if (record->sender != nullptr) record->sender->OnNotify(record.get());
    for (size_t i = 0; i < notifiers_.size(); ++i) notifiers_[i]->Notify(*record);
  }
}

// ---------------------------------------------------------------------------------------------------
// Timers

bool CPaintManagerUI::SetTimer(CControlUI* control, UINT timerId, UINT elapse) {
  if (control == nullptr || window_ == nullptr) return false;
  for (TimerRecord& timer : timers_) {
    if (timer.control == control && timer.localId == timerId && timer.window == window_) {
      if (!timer.killed) return false;
      if (::SetTimer(window_, timer.nativeId, elapse, nullptr) == 0) return false;
      timer.killed = false;
      return true;
    }
  }
  // The next native id after the last, modulo 240. Never 0, which the system does not deliver as a timer
  // of its own, and never one that a record of this window still holds; when all 239 are held the timer
  // is refused.
  for (int tries = 0; tries < 240; ++tries) {
    lastTimerId_ = (lastTimerId_ + 1) % 240;
    if (lastTimerId_ == 0) continue;
    const bool held = std::any_of(timers_.begin(), timers_.end(), [this](const TimerRecord& timer) {
      return timer.window == window_ && timer.nativeId == lastTimerId_;
    });
    if (held) continue;
    if (::SetTimer(window_, lastTimerId_, elapse, nullptr) == 0) return false;
    timers_.push_back({control, timerId, window_, lastTimerId_, false});
    return true;
  }
  return false;
}

bool CPaintManagerUI::KillTimer(CControlUI* control, UINT timerId) {
  for (TimerRecord& timer : timers_) {
    if (timer.control == control && timer.localId == timerId && timer.window == window_) {
      if (!timer.killed) {
        if (::IsWindow(window_)) ::KillTimer(timer.window, timer.nativeId);
        timer.killed = true;
        return true;
      }
    }
  }
  return false;
}

void CPaintManagerUI::KillTimer(CControlUI* control) {
  for (auto it = timers_.begin(); it != timers_.end();) {
    if (it->control == control) {
      if (!it->killed && ::IsWindow(it->window)) ::KillTimer(it->window, it->nativeId);
      it = timers_.erase(it);
    } else {
      ++it;
    }
  }
}

void CPaintManagerUI::RemoveAllTimers() {
  for (const TimerRecord& timer : timers_)
    if (!timer.killed && ::IsWindow(timer.window)) ::KillTimer(timer.window, timer.nativeId);
  timers_.clear();
}

// ---------------------------------------------------------------------------------------------------
// Focus and capture

void CPaintManagerUI::SetFocus(CControlUI* control) {
  if (window_ != nullptr && ::GetFocus() != window_ && control != focus_) ::SetFocus(window_);
  // A control focused on purpose keeps the focus: the first paint does not move it to the first tab stop.
  if (control != nullptr && control->GetManager() == this) focusNeeded_ = false;
  if (control == focus_) return;
  if (focus_ != nullptr) {
    CControlUI* old = focus_;
    if (focusMarkShown_) Invalidate(GetFocusMarkRect(old));
    EventRecord event;
    event.type = UiEvent::KillFocus;
    event.sender = control;
    event.mouse = lastMouse_;
    event.timestamp = ::GetTickCount();
    old->Event(event);
    SendNotify(old, L"killfocus");
    focus_ = nullptr;
  }
  if (control == nullptr) return;
  if (control->GetManager() == this && control->IsVisible() && control->IsEnabled()) {
    focus_ = control;
    EventRecord event;
    event.type = UiEvent::SetFocus;
    event.sender = control;
    event.mouse = lastMouse_;
    event.timestamp = ::GetTickCount();
    control->Event(event);
    SendNotify(control, L"setfocus");
    if (focusMarkShown_) Invalidate(GetFocusMarkRect(control));
    // Screen readers follow the focus through this event.
    if (window_ != nullptr && focus_ == control)
      ::NotifyWinEvent(EVENT_OBJECT_FOCUS, window_, OBJID_CLIENT, AccessibleChildId(*this, control));
  }
}

void CPaintManagerUI::ShowFocusMark(bool show) {
  if (show == focusMarkShown_) return;
  focusMarkShown_ = show;
  if (focus_ != nullptr) Invalidate(GetFocusMarkRect(focus_));
}

RECT CPaintManagerUI::GetFocusMarkRect(CControlUI* control) {
  RECT rc = control->GetPos();
  const int unit = (std::max)(1, GetDPIObj()->GetScale() / 100);
  ::InflateRect(&rc, 3 * unit, 3 * unit);
  return rc;
}

void CPaintManagerUI::SetFocusNeeded(CControlUI* control) {
  if (window_ != nullptr) ::SetFocus(window_);
  if (control == nullptr) return;
  if (focus_ != nullptr && focus_ != control) {
    EventRecord event;
    event.type = UiEvent::KillFocus;
    event.sender = control;
    event.timestamp = ::GetTickCount();
    focus_->Event(event);
    SendNotify(focus_, L"killfocus");
  }
  focus_ = control;
  focusNeeded_ = true;
}

bool CPaintManagerUI::SetNextTabControl(bool forward) {
  if (updateNeeded_ && forward) {
    focusNeeded_ = true;
    Invalidate();
    return true;
  }
  if (root_ == nullptr) return false;
  TabStopSearch search{};
  // Without a window there is no edge to hide controls behind.
  if (window_ == nullptr || !::GetClientRect(window_, &search.client))
    search.client = RECT{-32768, -32768, 32767, 32767};
  root_->FindControl(&CollectTabStops, &search, kFindVisible | kFindEnabled | kFindMeFirst);
  const std::vector<CControlUI*>& stops = search.stops;
  focusNeeded_ = false;
  if (stops.empty()) return true;
  auto current = std::find(stops.begin(), stops.end(), focus_);
  CControlUI* next = nullptr;
  if (forward) {
    next = (current == stops.end() || current + 1 == stops.end()) ? stops.front() : *(current + 1);
  } else {
    next = (current == stops.end() || current == stops.begin()) ? stops.back() : *(current - 1);
  }
  SetFocus(next);
  return true;
}

void CPaintManagerUI::SetCapture() {
  ::SetCapture(window_);
  mouseCaptured_ = true;
}

void CPaintManagerUI::ReleaseCapture() {
  ::ReleaseCapture();
  mouseCaptured_ = false;
}

// ---------------------------------------------------------------------------------------------------
// Invalidation and window settings

void CPaintManagerUI::Invalidate() {
  if (window_ == nullptr) return;
  RECT client{};
  ::GetClientRect(window_, &client);
  Invalidate(client);
}

void CPaintManagerUI::Invalidate(const RECT& rc) {
  if (window_ == nullptr) return;
  RECT clamped = rc;
  clamped.left = std::max<long>(clamped.left, 0);
  clamped.top = std::max<long>(clamped.top, 0);
  clamped.right = std::max(clamped.right, clamped.left);
  clamped.bottom = std::max(clamped.bottom, clamped.top);
  layeredUpdate_ = Union(layeredUpdate_, clamped);
  ::InvalidateRect(window_, &clamped, FALSE);
}

SIZE CPaintManagerUI::GetInitSize() { return GetDPIObj()->Scale(initSize_); }
void CPaintManagerUI::SetInitSize(int cx, int cy) {
  initSize_ = MakeSize(cx, cy);
  if (root_ == nullptr && window_ != nullptr) {
    const SIZE size = GetInitSize();
    ::SetWindowPos(window_, nullptr, 0, 0, size.cx, size.cy, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
  }
}
RECT CPaintManagerUI::GetSizeBox() { return GetDPIObj()->Scale(sizeBox_); }
RECT CPaintManagerUI::GetCaptionRect() { return GetDPIObj()->Scale(caption_); }
SIZE CPaintManagerUI::GetRoundCorner() { return GetDPIObj()->Scale(roundCorner_); }

void CPaintManagerUI::SetOpacity(BYTE opacity) {
  opacity_ = opacity;
  if (window_ == nullptr) return;
  const LONG style = ::GetWindowLongW(window_, GWL_EXSTYLE);
  ::SetWindowLongW(window_, GWL_EXSTYLE, style | WS_EX_LAYERED);
  if (!layered_) ::SetLayeredWindowAttributes(window_, 0, opacity, LWA_ALPHA);
}

void CPaintManagerUI::SetLayered(bool layered) {
  if (window_ != nullptr && layered != layered_) {
    // Layered composition needs the system's UpdateLayeredWindow; without it the window stays opaque.
    static const bool available = [] {
      HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
      return user32 != nullptr && ::GetProcAddress(user32, "UpdateLayeredWindow") != nullptr;
    }();
    if (!available) return;
    const LONG style = ::GetWindowLongW(window_, GWL_STYLE);
    if (style & WS_CHILD) return;
    layered_ = layered;
    const LONG ex = ::GetWindowLongW(window_, GWL_EXSTYLE);
    ::SetWindowLongW(window_, GWL_EXSTYLE, layered ? (ex | WS_EX_LAYERED) : (ex & ~WS_EX_LAYERED));
    layeredChanged_ = true;
    if (layered) offscreenPaint_ = true;
    Invalidate();
  } else if (window_ == nullptr) {
    layered_ = layered;
  }
}

void CPaintManagerUI::SetLayeredInset(const RECT& inset) {
  layeredInset_ = inset;
  layeredChanged_ = true;
  Invalidate();
}

void CPaintManagerUI::SetLayeredOpacity(BYTE opacity) {
  layeredOpacity_ = opacity;
  layeredChanged_ = true;
  Invalidate();
}

void CPaintManagerUI::SetLayeredImage(const wchar_t* descriptor) {
  layeredImage_.Parse(descriptor != nullptr ? descriptor : L"", L"", GetDPIObj()->GetScale());
  SetLayered(true);
  layeredChanged_ = true;
  Invalidate();
}

// ---------------------------------------------------------------------------------------------------
// Pre-translation and the message loop

bool CPaintManagerUI::TranslateAccelerator(MSG* msg) {
  for (size_t i = 0; i < translators_.size(); ++i)
    if (translators_[i]->TranslateAccelerator(msg) == 0) return true;
  return false;
}

bool CPaintManagerUI::TranslateMessage(const MSG* msg) {
  if (msg == nullptr || msg->hwnd == nullptr) return false;
  MSG copy = *msg;
  const LONG style = ::GetWindowLongW(msg->hwnd, GWL_STYLE);
  const std::vector<CPaintManagerUI*> managers = Shared().managers;
  if (!(style & WS_CHILD)) {
    for (CPaintManagerUI* manager : managers) {
      if (manager->GetPaintWindow() != msg->hwnd) continue;
      if (manager->TranslateAccelerator(&copy)) return true;
      LRESULT result = 0;
      return manager->PreMessageHandler(msg->message, msg->wParam, msg->lParam, result);
    }
    return false;
  }
  for (CPaintManagerUI* manager : managers) {
    for (HWND parent = msg->hwnd; parent != nullptr; parent = ::GetParent(parent)) {
      if (parent != manager->GetPaintWindow()) continue;
      if (manager->TranslateAccelerator(&copy)) return true;
      LRESULT result = 0;
      manager->PreMessageHandler(msg->message, msg->wParam, msg->lParam, result);
      break;
    }
  }
  return false;
}

void CPaintManagerUI::MessageLoop() {
  MSG msg{};
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (!TranslateMessage(&msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
}

}  // namespace Veneer
