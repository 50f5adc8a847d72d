// CWindowAccessible: what screen readers see of a skinned window through Microsoft Active Accessibility.
// The paint manager answers WM_GETOBJECT (OBJID_CLIENT) with it. The object stands for the window's client
// area; its children are the controls a user can see and use (buttons, check boxes, links, the text field,
// the progress bar and labels with text), as simple elements numbered from 1 in the order of the control
// tree, which is also the order of the Tab key.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include <vector>

namespace Veneer {

class CControlUI;
class CPaintManagerUI;

// The controls that are the window's accessible children, in tree order: visible, at least partly inside
// the client area, and of a kind a user reads or uses. A control's child id is its index here plus 1.
std::vector<CControlUI*> AccessibleChildren(CPaintManagerUI& manager);
// The child id of a control (CHILDID_SELF when it is not a child).
long AccessibleChildId(CPaintManagerUI& manager, CControlUI* control);

class CWindowAccessible final : public IAccessible {
 public:
  explicit CWindowAccessible(CPaintManagerUI* manager) : manager_(manager) {}
  CWindowAccessible(const CWindowAccessible&) = delete;
  CWindowAccessible& operator=(const CWindowAccessible&) = delete;

  // The window is going away: from now on every call fails with RPC_E_DISCONNECTED, and clients in
  // other processes lose their proxies.
  void Disconnect();

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // IDispatch: no type information; clients call the IAccessible methods directly.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* exception, UINT* argError) override;
  // IAccessible
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override;
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override;
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override;
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override;
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override;
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override;
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override;
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override;
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override;
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override;
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override;
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override;
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override;
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override;
  HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override;
  HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override;
  HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override;
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override;
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override;
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override;
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override;

 private:
  ~CWindowAccessible() = default;
  // Resolves a child VARIANT: S_OK with the control (null for the window itself), E_INVALIDARG for an id
  // that names no child, RPC_E_DISCONNECTED once the window is gone.
  HRESULT Resolve(const VARIANT& child, CControlUI** control) const;

  CPaintManagerUI* manager_;
  LONG references_ = 1;
};

}  // namespace Veneer
