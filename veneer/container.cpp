#include "veneer/container.h"

#include <algorithm>
#include <cwchar>

#include "veneer/attribute_text.h"
#include "veneer/render_engine.h"

namespace Veneer {

CContainerUI::CContainerUI() = default;

CContainerUI::~CContainerUI() {
  delayedDestroy_ = false;
  RemoveAll();
}

const wchar_t* CContainerUI::GetClass() const { return L"ContainerUI"; }

void* CContainerUI::GetInterface(const wchar_t* name) {
  if (name != nullptr && std::wcscmp(name, L"IContainer") == 0) return static_cast<IContainerUI*>(this);
  if (name != nullptr && std::wcscmp(name, L"Container") == 0) return static_cast<CContainerUI*>(this);
  return CControlUI::GetInterface(name);
}

// --- Children ---------------------------------------------------------------------------------------

CControlUI* CContainerUI::GetItemAt(int index) const {
  if (index < 0 || index >= static_cast<int>(items_.size())) return nullptr;
  return items_[index];
}

int CContainerUI::GetItemIndex(CControlUI* control) const {
  auto it = std::find(items_.begin(), items_.end(), control);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

bool CContainerUI::SetItemIndex(CControlUI* control, int index) {
  const int current = GetItemIndex(control);
  if (current < 0 || index < 0 || index >= static_cast<int>(items_.size())) return false;
  items_.erase(items_.begin() + current);
  items_.insert(items_.begin() + index, control);
  NeedUpdate();
  return true;
}

int CContainerUI::GetCount() const { return static_cast<int>(items_.size()); }

bool CContainerUI::Add(CControlUI* control) { return AddAt(control, static_cast<int>(items_.size())); }

bool CContainerUI::AddAt(CControlUI* control, int index) {
  if (control == nullptr || index < 0 || index > static_cast<int>(items_.size())) return false;
  if (manager_ != nullptr) manager_->InitControls(control, this);
  if (!IsVisible()) {
    control->SetInternalVisible(false);
  } else {
    NeedUpdate();
  }
  items_.insert(items_.begin() + index, control);
  return true;
}

bool CContainerUI::Remove(CControlUI* control) {
  const int index = GetItemIndex(control);
  return index >= 0 && RemoveAt(index);
}

bool CContainerUI::RemoveAt(int index) {
  CControlUI* control = GetItemAt(index);
  if (control == nullptr) return false;
  items_.erase(items_.begin() + index);
  if (autoDestroy_) {
    if (delayedDestroy_ && manager_ != nullptr) {
      manager_->AddDelayedCleanup(control);
    } else {
      delete control;
    }
  }
  NeedUpdate();
  return true;
}

void CContainerUI::RemoveAll() {
  std::vector<CControlUI*> items = std::move(items_);
  items_.clear();
  if (autoDestroy_) {
    for (CControlUI* control : items) {
      if (delayedDestroy_ && manager_ != nullptr) {
        manager_->AddDelayedCleanup(control);
      } else {
        delete control;
      }
    }
  }
  if (!items.empty()) NeedUpdate();
}

// --- Settings ---------------------------------------------------------------------------------------

RECT CContainerUI::GetInset() const { return Scale(inset_); }
void CContainerUI::SetInset(RECT inset) {
  inset_ = inset;
  NeedUpdate();
}
int CContainerUI::GetChildPadding() const { return Scale(childPadding_); }
void CContainerUI::SetChildPadding(int padding) {
  childPadding_ = padding;
  NeedUpdate();
}
void CContainerUI::SetChildAlign(UINT align) {
  childAlign_ = align;
  NeedUpdate();
}
void CContainerUI::SetChildVAlign(UINT align) {
  childVAlign_ = align;
  NeedUpdate();
}

void CContainerUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init) {
  CControlUI::SetManager(manager, parent, init);
  for (CControlUI* child : items_) child->SetManager(manager, this, init);
}

void CContainerUI::SetVisible(bool visible) {
  if (visible_ == visible) return;
  CControlUI::SetVisible(visible);
  for (CControlUI* child : items_) child->SetInternalVisible(IsVisible());
}

void CContainerUI::SetInternalVisible(bool visible) {
  CControlUI::SetInternalVisible(visible);
  for (CControlUI* child : items_) child->SetInternalVisible(IsVisible());
}

void CContainerUI::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  for (CControlUI* child : items_) child->SetEnabled(enabled);
  Invalidate();
}

void CContainerUI::SetMouseEnabled(bool enabled) { CControlUI::SetMouseEnabled(enabled); }

void CContainerUI::DoEvent(EventRecord& event) { CControlUI::DoEvent(event); }

void CContainerUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (name == nullptr || value == nullptr) return;
  const std::wstring_view n(name);
  auto is = [&n](const wchar_t* candidate) { return EqualsNoCase(n, candidate); };
  if (is(L"inset")) {
    SetInset(ParseRect(value));
  } else if (is(L"mousechild")) {
    SetMouseChildEnabled(ParseBool(value));
  } else if (is(L"vscrollbar")) {
    vScrollBar_ = ParseBool(value);
  } else if (is(L"hscrollbar")) {
    hScrollBar_ = ParseBool(value);
  } else if (is(L"vscrollbarstyle")) {
    vScrollBarStyle_ = value;
  } else if (is(L"hscrollbarstyle")) {
    hScrollBarStyle_ = value;
  } else if (is(L"childpadding")) {
    SetChildPadding(static_cast<int>(ParseLong(value)));
  } else if (std::wcscmp(name, L"childalign") == 0) {
    // Name and values compare case-sensitively here; other values leave the alignment as it is.
    if (std::wcscmp(value, L"left") == 0)
      SetChildAlign(0);
    else if (std::wcscmp(value, L"center") == 0)
      SetChildAlign(1);
    else if (std::wcscmp(value, L"right") == 0)
      SetChildAlign(2);
  } else if (std::wcscmp(name, L"childvalign") == 0) {
    if (std::wcscmp(value, L"top") == 0)
      SetChildVAlign(0);
    else if (std::wcscmp(value, L"vcenter") == 0)
      SetChildVAlign(4);
    else if (std::wcscmp(value, L"bottom") == 0)
      SetChildVAlign(8);
  } else if (is(L"scrollstepsize")) {
    scrollStep_ = static_cast<int>(ParseLong(value));
  } else if (is(L"fixedscrollbar")) {
    fixedScrollBar_ = ParseBool(value);
  } else if (is(L"showscrollbar")) {
    showScrollBar_ = ParseBool(value);
  } else {
    CControlUI::SetAttribute(name, value);
  }
}

// --- Layout -----------------------------------------------------------------------------------------

RECT CContainerUI::GetInnerRect() const {
  const RECT inset = GetInset();
  return MakeRect(item_.left + inset.left, item_.top + inset.top, item_.right - inset.right,
                  item_.bottom - inset.bottom);
}

std::vector<CControlUI*> CContainerUI::LayoutChildren() const {
  std::vector<CControlUI*> children;
  for (CControlUI* child : items_)
    if (child->IsVisible() && !child->IsFloat()) children.push_back(child);
  return children;
}

std::vector<LayoutChild> CContainerUI::DescribeChildren(const std::vector<CControlUI*>& children) {
  std::vector<LayoutChild> described;
  described.reserve(children.size());
  for (CControlUI* child : children) {
    LayoutChild c;
    c.padding = child->GetPadding();
    c.fixed = MakeSize(child->GetFixedWidth(), child->GetFixedHeight());
    c.minSize = MakeSize(child->GetMinWidth(), child->GetMinHeight());
    c.maxSize = MakeSize(child->GetMaxWidth(), child->GetMaxHeight());
    c.estimate = [child](SIZE available) { return child->EstimateSize(available); };
    described.push_back(std::move(c));
  }
  return described;
}

void CContainerUI::SetFloatPos(int /*index*/) {
  // Floating children are placed where they are; no installer skin uses them.
}

void CContainerUI::ProcessScrollBar(RECT /*rc*/, int /*cxRequired*/, int /*cyRequired*/) {
  // Containers here have no scroll bars.
}

void CContainerUI::SetPos(RECT rc, bool needInvalidate) {
  CControlUI::SetPos(rc, needInvalidate);
  if (items_.empty()) return;
  const RECT inner = GetInnerRect();
  for (int i = 0; i < static_cast<int>(items_.size()); ++i) {
    CControlUI* child = items_[i];
    if (!child->IsVisible()) continue;
    if (child->IsFloat()) {
      SetFloatPos(i);
      continue;
    }
    const long width = std::max<long>(child->GetMinWidth(), std::min<long>(Width(inner), child->GetMaxWidth()));
    const long height = std::max<long>(child->GetMinHeight(), std::min<long>(Height(inner), child->GetMaxHeight()));
    child->SetPos(MakeRect(inner.left, inner.top, inner.left + width, inner.top + height), false);
  }
}

// --- Painting and searching ---------------------------------------------------------------------------

bool CContainerUI::DoPaint(HDC dc, const RECT& paint, CControlUI* stopControl) {
  RECT overlap;
  if (!Intersect(overlap, paint, item_)) return true;
  CRenderClip clip(dc, item_);
  CControlUI::DoPaint(dc, paint, stopControl);
  if (items_.empty()) return true;

  const RECT inner = GetInnerRect();
  RECT innerPaint;
  const bool innerVisible = Intersect(innerPaint, paint, inner);
  for (CControlUI* child : items_) {
    if (child == stopControl) return false;
    if (!child->IsVisible()) continue;
    RECT childOverlap;
    if (!Intersect(childOverlap, paint, child->GetPos())) continue;
    if (child->IsFloat()) {
      if (!Intersect(childOverlap, item_, child->GetPos())) continue;
      CRenderClip childClip(dc, item_);
      if (!child->Paint(dc, paint, stopControl)) return false;
    } else {
      if (!innerVisible) continue;
      if (!Intersect(childOverlap, inner, child->GetPos())) continue;
      CRenderClip childClip(dc, inner);
      if (!child->Paint(dc, paint, stopControl)) return false;
    }
  }
  return true;
}

CControlUI* CContainerUI::FindControl(FindControlProc proc, void* data, UINT flags) {
  if ((flags & kFindVisible) && !IsVisible()) return nullptr;
  if ((flags & kFindEnabled) && !IsEnabled()) return nullptr;
  const bool hitTest = (flags & kFindHitTest) != 0;
  const POINT* pt = hitTest ? static_cast<const POINT*>(data) : nullptr;
  if (hitTest && !Contains(item_, *pt)) return nullptr;
  if (flags & kFindUpdateTest) {
    if (CControlUI* found = proc(this, data)) return found;
  }
  if (flags & kFindMeFirst) {
    if (!hitTest || mouseEnabled_) {
      if (CControlUI* found = proc(this, data)) return found;
    }
  }
  if (!hitTest || mouseChildren_) {
    const RECT inner = GetInnerRect();
    const int count = static_cast<int>(items_.size());
    for (int k = 0; k < count; ++k) {
      CControlUI* child = items_[(flags & kFindTopFirst) ? count - 1 - k : k];
      CControlUI* found = child->FindControl(proc, data, flags);
      if (found == nullptr) continue;
      if (!hitTest || found->IsFloat() || Contains(inner, *pt)) return found;
    }
  }
  if (!(flags & kFindMeFirst) && (!hitTest || mouseEnabled_)) return proc(this, data);
  return nullptr;
}

// --- Linear layouts ---------------------------------------------------------------------------------

void CContainerUI::ArrangeLinear(LinearLayoutPass pass) {
  const RECT inner = GetInnerRect();
  const std::vector<CControlUI*> children = LayoutChildren();
  if (children.empty()) {
    ProcessScrollBar(inner, 0, 0);
    return;
  }
  const LinearLayoutResult layout = pass(inner, GetChildPadding(), static_cast<int>(childAlign_),
                                         static_cast<int>(childVAlign_), DescribeChildren(children));
  for (size_t i = 0; i < children.size(); ++i) children[i]->SetPos(layout.positions[i], false);
  for (int i = 0; i < static_cast<int>(items_.size()); ++i)
    if (items_[i]->IsVisible() && items_[i]->IsFloat()) SetFloatPos(i);
  ProcessScrollBar(inner, layout.needed.cx, layout.needed.cy);
}

const wchar_t* CVerticalLayoutUI::GetClass() const { return L"VerticalLayoutUI"; }
void* CVerticalLayoutUI::GetInterface(const wchar_t* name) {
  if (name != nullptr && std::wcscmp(name, L"VerticalLayout") == 0) return this;
  return CContainerUI::GetInterface(name);
}

void CVerticalLayoutUI::SetPos(RECT rc, bool needInvalidate) {
  // The container's own arrangement would stack the children; a linear layout places them itself.
  CControlUI::SetPos(rc, needInvalidate);  // NOLINT(bugprone-parent-virtual-call)
  ArrangeLinear(&LayoutVertical);
}

void CVerticalLayoutUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (name != nullptr && EqualsNoCase(name, L"sepheight")) {
    sepHeight_ = static_cast<int>(ParseLong(value));
  } else if (name != nullptr && EqualsNoCase(name, L"sepimm")) {
    sepImmediate_ = ParseBool(value);
  } else {
    CContainerUI::SetAttribute(name, value);
  }
}

const wchar_t* CHorizontalLayoutUI::GetClass() const { return L"HorizontalLayoutUI"; }
void* CHorizontalLayoutUI::GetInterface(const wchar_t* name) {
  if (name != nullptr && std::wcscmp(name, L"HorizontalLayout") == 0) return this;
  return CContainerUI::GetInterface(name);
}

void CHorizontalLayoutUI::SetPos(RECT rc, bool needInvalidate) {
  // The container's own arrangement would stack the children; a linear layout places them itself.
  CControlUI::SetPos(rc, needInvalidate);  // NOLINT(bugprone-parent-virtual-call)
  ArrangeLinear(&LayoutHorizontal);
}

void CHorizontalLayoutUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (name != nullptr && EqualsNoCase(name, L"sepwidth")) {
    sepWidth_ = static_cast<int>(ParseLong(value));
  } else if (name != nullptr && EqualsNoCase(name, L"sepimm")) {
    sepImmediate_ = ParseBool(value);
  } else {
    CContainerUI::SetAttribute(name, value);
  }
}

}  // namespace Veneer
