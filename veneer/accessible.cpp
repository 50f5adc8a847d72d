#include "veneer/accessible.h"

#include <cstdint>
#include <cwchar>
#include <string>

#include "veneer/control.h"
#include "veneer/layout_math.h"
#include "veneer/paint_manager.h"
#include "veneer/progress.h"

namespace Veneer {
namespace {

struct ChildSearch {
  RECT client;
  std::vector<CControlUI*>* found;
};

// The kind of a control as a screen reader names it; 0 for controls that are no child (layouts, spacers,
// labels without text).
long KindRole(CControlUI* control) {
  if (control->GetAccessibleRole() != 0) return control->GetAccessibleRole();
  if (control->GetInterface(L"RichEdit") != nullptr) return ROLE_SYSTEM_TEXT;
  if (control->GetInterface(L"Progress") != nullptr) return ROLE_SYSTEM_PROGRESSBAR;
  if (control->GetInterface(L"Button") != nullptr) return ROLE_SYSTEM_PUSHBUTTON;
  if (control->GetInterface(L"Label") != nullptr && !control->GetAccessibleName().empty())
    return ROLE_SYSTEM_STATICTEXT;
  return 0;
}

bool Actionable(long role) {
  return role == ROLE_SYSTEM_PUSHBUTTON || role == ROLE_SYSTEM_CHECKBUTTON || role == ROLE_SYSTEM_LINK;
}

CControlUI* CollectChild(CControlUI* control, void* data) {
  auto* search = static_cast<ChildSearch*>(data);
  RECT inside{};
  if (KindRole(control) != 0 && ::IntersectRect(&inside, &control->GetPos(), &search->client))
    search->found->push_back(control);
  return nullptr;
}

HRESULT ReturnText(const std::wstring& text, BSTR* out) {
  if (text.empty()) return S_FALSE;
  *out = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

void SetChildVariant(VARIANT* variant, long childId) {
  variant->vt = VT_I4;
  variant->lVal = childId;
}

}  // namespace

std::vector<CControlUI*> AccessibleChildren(CPaintManagerUI& manager) {
  std::vector<CControlUI*> children;
  if (manager.GetRoot() == nullptr || manager.GetPaintWindow() == nullptr) return children;
  ChildSearch search{{}, &children};
  ::GetClientRect(manager.GetPaintWindow(), &search.client);
  manager.GetRoot()->FindControl(&CollectChild, &search, kFindVisible | kFindMeFirst);
  return children;
}

long AccessibleChildId(CPaintManagerUI& manager, CControlUI* control) {
  const std::vector<CControlUI*> children = AccessibleChildren(manager);
  for (size_t i = 0; i < children.size(); ++i)
    if (children[i] == control) return static_cast<long>(i) + 1;
  return CHILDID_SELF;
}

void CWindowAccessible::Disconnect() {
  if (manager_ == nullptr) return;
  manager_ = nullptr;
  ::CoDisconnectObject(static_cast<IAccessible*>(this), 0);
}

HRESULT CWindowAccessible::Resolve(const VARIANT& child, CControlUI** control) const {
  *control = nullptr;
  if (manager_ == nullptr || manager_->GetPaintWindow() == nullptr) return RPC_E_DISCONNECTED;
  if (child.vt != VT_I4) return E_INVALIDARG;
  if (child.lVal == CHILDID_SELF) return S_OK;
  const std::vector<CControlUI*> children = AccessibleChildren(*manager_);
  if (child.lVal < 1 || child.lVal > static_cast<long>(children.size())) return E_INVALIDARG;
  *control = children[child.lVal - 1];
  return S_OK;
}

// --- IUnknown and IDispatch ---------------------------------------------------------------------------

HRESULT CWindowAccessible::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IAccessible) {
    *object = static_cast<IAccessible*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG CWindowAccessible::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&references_)); }

ULONG CWindowAccessible::Release() {
  const LONG left = ::InterlockedDecrement(&references_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT CWindowAccessible::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}
HRESULT CWindowAccessible::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }
HRESULT CWindowAccessible::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }
HRESULT CWindowAccessible::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
  return E_NOTIMPL;
}

// --- The tree ------------------------------------------------------------------------------------------

HRESULT CWindowAccessible::get_accParent(IDispatch** parent) {
  if (parent == nullptr) return E_POINTER;
  *parent = nullptr;
  if (manager_ == nullptr || manager_->GetPaintWindow() == nullptr) return RPC_E_DISCONNECTED;
  // The window's frame object, which the system provides.
  return ::CreateStdAccessibleObject(manager_->GetPaintWindow(), OBJID_WINDOW, IID_IDispatch,
                                     reinterpret_cast<void**>(parent));
}

HRESULT CWindowAccessible::get_accChildCount(long* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  if (manager_ == nullptr || manager_->GetPaintWindow() == nullptr) return RPC_E_DISCONNECTED;
  *count = static_cast<long>(AccessibleChildren(*manager_).size());
  return S_OK;
}

HRESULT CWindowAccessible::get_accChild(VARIANT child, IDispatch** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  CControlUI* control = nullptr;
  const HRESULT status = Resolve(child, &control);
  if (FAILED(status)) return status;
  // Controls are simple elements: the caller asks this object about them by child id.
  return S_FALSE;
}

HRESULT CWindowAccessible::accNavigate(long direction, VARIANT start, VARIANT* end) {
  if (end == nullptr) return E_POINTER;
  ::VariantInit(end);
  CControlUI* control = nullptr;
  const HRESULT status = Resolve(start, &control);
  if (FAILED(status)) return status;
  const long count = static_cast<long>(AccessibleChildren(*manager_).size());
  long target = 0;
  if (control == nullptr) {
    if (direction == NAVDIR_FIRSTCHILD)
      target = count > 0 ? 1 : 0;
    else if (direction == NAVDIR_LASTCHILD)
      target = count;
    else
      return S_FALSE;  // the window's siblings belong to its parent
  } else {
    switch (direction) {
      case NAVDIR_NEXT:
      case NAVDIR_DOWN:
      case NAVDIR_RIGHT: target = start.lVal < count ? start.lVal + 1 : 0; break;
      case NAVDIR_PREVIOUS:
      case NAVDIR_UP:
      case NAVDIR_LEFT: target = start.lVal - 1; break;
      default: return E_INVALIDARG;  // a simple element has no children
    }
  }
  if (target <= 0) return S_FALSE;
  SetChildVariant(end, target);
  return S_OK;
}

HRESULT CWindowAccessible::accHitTest(long x, long y, VARIANT* child) {
  if (child == nullptr) return E_POINTER;
  ::VariantInit(child);
  if (manager_ == nullptr || manager_->GetPaintWindow() == nullptr) return RPC_E_DISCONNECTED;
  HWND window = manager_->GetPaintWindow();
  POINT pt = {x, y};
  ::ScreenToClient(window, &pt);
  RECT client{};
  ::GetClientRect(window, &client);
  if (!::PtInRect(&client, pt)) return S_FALSE;
  // The control under the point, or the nearest ancestor that is a child; else the window itself.
  long id = CHILDID_SELF;
  for (CControlUI* control = manager_->FindControl(pt); control != nullptr && id == CHILDID_SELF;
       control = control->GetParent()) {
    id = AccessibleChildId(*manager_, control);
  }
  SetChildVariant(child, id);
  return S_OK;
}

HRESULT CWindowAccessible::get_accFocus(VARIANT* child) {
  if (child == nullptr) return E_POINTER;
  ::VariantInit(child);
  if (manager_ == nullptr || manager_->GetPaintWindow() == nullptr) return RPC_E_DISCONNECTED;
  if (::GetFocus() != manager_->GetPaintWindow()) return S_FALSE;
  SetChildVariant(child, AccessibleChildId(*manager_, manager_->GetFocus()));
  return S_OK;
}

HRESULT CWindowAccessible::get_accSelection(VARIANT* children) {
  if (children == nullptr) return E_POINTER;
  ::VariantInit(children);
  return manager_ != nullptr ? S_FALSE : RPC_E_DISCONNECTED;
}

HRESULT CWindowAccessible::accSelect(long flags, VARIANT child) {
  CControlUI* control = nullptr;
  const HRESULT status = Resolve(child, &control);
  if (FAILED(status)) return status;
  // Only taking the focus makes sense for these controls.
  if (flags != SELFLAG_TAKEFOCUS || control == nullptr) return E_INVALIDARG;
  if (!(control->GetControlFlags() & kControlFlagTabStop)) return E_INVALIDARG;
  control->SetFocus();
  return S_OK;
}

// --- One element ---------------------------------------------------------------------------------------

HRESULT CWindowAccessible::get_accName(VARIANT child, BSTR* name) {
  if (name == nullptr) return E_POINTER;
  *name = nullptr;
  CControlUI* control = nullptr;
  const HRESULT status = Resolve(child, &control);
  if (FAILED(status)) return status;
  if (control != nullptr) return ReturnText(control->GetAccessibleName(), name);
  wchar_t title[256] = {};
  ::GetWindowTextW(manager_->GetPaintWindow(), title, 256);
  return ReturnText(title, name);
}

HRESULT CWindowAccessible::get_accValue(VARIANT child, BSTR* value) {
  if (value == nullptr) return E_POINTER;
  *value = nullptr;
  CControlUI* control = nullptr;
  const HRESULT status = Resolve(child, &control);
  if (FAILED(status)) return status;
  if (control == nullptr) return S_FALSE;
  if (auto* progress = static_cast<CProgressUI*>(control->GetInterface(L"Progress"))) {
    const int min = progress->GetMinValue();
    const long percent =
        ProgressExtent(static_cast<int64_t>(progress->GetValue()) - min, min, progress->GetMaxValue(), 100, false);
    return ReturnText(std::to_wstring(percent) + L"%", value);
  }
  if (control->GetInterface(L"RichEdit") != nullptr) {
    // An empty field has the empty text as its value, not no value.
    const std::wstring text = control->GetText();
    *value = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *value != nullptr ? S_OK : E_OUTOFMEMORY;
  }
  return S_FALSE;
}

HRESULT CWindowAccessible::get_accRole(VARIANT child, VARIANT* role) {
  if (role == nullptr) return E_POINTER;
  ::VariantInit(role);
  CControlUI* control = nullptr;
  const HRESULT status = Resolve(child, &control);
  if (FAILED(status)) return status;
  SetChildVariant(role, control != nullptr ? KindRole(control) : ROLE_SYSTEM_CLIENT);
  return S_OK;
}

HRESULT CWindowAccessible::get_accState(VARIANT child, VARIANT* state) {
  if (state == nullptr) return E_POINTER;
  ::VariantInit(state);
  CControlUI* control = nullptr;
  const HRESULT status = Resolve(child, &control);
  if (FAILED(status)) return status;
  HWND window = manager_->GetPaintWindow();
  const bool windowFocused = ::GetFocus() == window;
  long bits = ::IsWindowVisible(window) ? 0 : STATE_SYSTEM_INVISIBLE;
  if (control == nullptr) {
    bits |= STATE_SYSTEM_FOCUSABLE;
    if (!::IsWindowEnabled(window)) bits |= STATE_SYSTEM_UNAVAILABLE;
    if (windowFocused && manager_->GetFocus() == nullptr) bits |= STATE_SYSTEM_FOCUSED;
  } else {
    const long role = KindRole(control);
    if (!control->IsEnabled()) bits |= STATE_SYSTEM_UNAVAILABLE;
    if (control->IsEnabled() && (control->GetControlFlags() & kControlFlagTabStop)) bits |= STATE_SYSTEM_FOCUSABLE;
    if (windowFocused && manager_->GetFocus() == control) bits |= STATE_SYSTEM_FOCUSED;
    if (role == ROLE_SYSTEM_CHECKBUTTON && control->IsAccessibleChecked()) bits |= STATE_SYSTEM_CHECKED;
    if (role == ROLE_SYSTEM_LINK) bits |= STATE_SYSTEM_LINKED;
    if (role == ROLE_SYSTEM_STATICTEXT || role == ROLE_SYSTEM_PROGRESSBAR) bits |= STATE_SYSTEM_READONLY;
  }
  SetChildVariant(state, bits);
  return S_OK;
}

HRESULT CWindowAccessible::get_accDefaultAction(VARIANT child, BSTR* action) {
  if (action == nullptr) return E_POINTER;
  *action = nullptr;
  CControlUI* control = nullptr;
  const HRESULT status = Resolve(child, &control);
  if (FAILED(status)) return status;
  const long role = control != nullptr ? KindRole(control) : 0;
  if (!Actionable(role)) return DISP_E_MEMBERNOTFOUND;
  if (role == ROLE_SYSTEM_CHECKBUTTON)
    return ReturnText(control->IsAccessibleChecked() ? L"取消勾选" : L"勾选", action);
  return ReturnText(role == ROLE_SYSTEM_LINK ? L"打开" : L"按下", action);
}

HRESULT CWindowAccessible::accDoDefaultAction(VARIANT child) {
  CControlUI* control = nullptr;
  const HRESULT status = Resolve(child, &control);
  if (FAILED(status)) return status;
  if (control == nullptr || !Actionable(KindRole(control))) return DISP_E_MEMBERNOTFOUND;
  if (!control->IsEnabled()) return E_FAIL;
  // The click runs later from the window's own queue: what it starts (a modal box, a new view) must not
  // run inside a call that a screen reader in another process is waiting on.
  return manager_->PostAccessibleAction(control) ? S_OK : E_FAIL;
}

HRESULT CWindowAccessible::accLocation(long* left, long* top, long* width, long* height, VARIANT child) {
  if (left == nullptr || top == nullptr || width == nullptr || height == nullptr) return E_POINTER;
  *left = *top = *width = *height = 0;
  CControlUI* control = nullptr;
  const HRESULT status = Resolve(child, &control);
  if (FAILED(status)) return status;
  RECT area{};
  if (control != nullptr) {
    area = control->GetPos();
  } else {
    ::GetClientRect(manager_->GetPaintWindow(), &area);
  }
  ::MapWindowPoints(manager_->GetPaintWindow(), HWND_DESKTOP, reinterpret_cast<POINT*>(&area), 2);
  *left = area.left;
  *top = area.top;
  *width = area.right - area.left;
  *height = area.bottom - area.top;
  return S_OK;
}

HRESULT CWindowAccessible::get_accDescription(VARIANT child, BSTR* description) {
  if (description == nullptr) return E_POINTER;
  *description = nullptr;
  CControlUI* control = nullptr;
  const HRESULT status = Resolve(child, &control);
  return FAILED(status) ? status : S_FALSE;
}

HRESULT CWindowAccessible::get_accHelp(VARIANT child, BSTR* help) { return get_accDescription(child, help); }

HRESULT CWindowAccessible::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) {
  return get_accDescription(child, shortcut);
}

HRESULT CWindowAccessible::get_accHelpTopic(BSTR* file, VARIANT child, long* topic) {
  if (file == nullptr || topic == nullptr) return E_POINTER;
  *file = nullptr;
  *topic = -1;
  CControlUI* control = nullptr;
  const HRESULT status = Resolve(child, &control);
  return FAILED(status) ? status : S_FALSE;
}

HRESULT CWindowAccessible::put_accName(VARIANT, BSTR) { return E_NOTIMPL; }
HRESULT CWindowAccessible::put_accValue(VARIANT, BSTR) { return E_NOTIMPL; }

// --- The paint manager's side ---------------------------------------------------------------------------

LRESULT CPaintManagerUI::AnswerGetObject(WPARAM wParam, LPARAM /*lParam*/) {
  if (!accessible_) accessible_.Reset(new CWindowAccessible(this));
  return ::LresultFromObject(IID_IAccessible, wParam, static_cast<IAccessible*>(accessible_.Get()));
}

void CPaintManagerUI::DisconnectAccessible() {
  if (accessible_) accessible_.Get()->Disconnect();
  accessible_.Reset();
}

bool CPaintManagerUI::PostAccessibleAction(CControlUI* control) {
  return window_ != nullptr && ::PostMessageW(window_, kMsgAccessibleAction, 0, reinterpret_cast<LPARAM>(control));
}

namespace {
CControlUI* IsSame(CControlUI* control, void* data) { return control == data ? control : nullptr; }
}  // namespace

void CPaintManagerUI::RunAccessibleAction(CControlUI* control) {
  // The control may have left the tree since the action was queued; then nothing happens.
  if (root_ == nullptr || root_->FindControl(&IsSame, control, kFindVisible | kFindEnabled | kFindMeFirst) == nullptr)
    return;
  control->Activate();
}

}  // namespace Veneer
