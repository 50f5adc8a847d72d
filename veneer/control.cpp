// CControlUI: state, attributes, update requests and events.
#include "veneer/control.h"

#include <cstdlib>
#include <cwchar>

#include "veneer/attribute_text.h"

namespace Veneer {

CControlUI::CControlUI() = default;

CControlUI::~CControlUI() {
  OnDestroy(this);
  RemoveAllCustomAttribute();
  if (manager_ != nullptr) manager_->ReapObjects(this);
}

std::wstring CControlUI::GetName() const { return name_; }
void CControlUI::SetName(const std::wstring& name) {
  if (name == name_) return;
  const std::wstring old = name_;
  name_ = name;
  if (manager_ != nullptr) manager_->RenameControl(this, old.c_str(), name_.c_str());
}
const wchar_t* CControlUI::GetClass() const { return L"ControlUI"; }
void* CControlUI::GetInterface(const wchar_t* name) {
  if (name != nullptr && std::wcscmp(name, L"Control") == 0) return this;
  return nullptr;
}
UINT CControlUI::GetControlFlags() const { return 0; }
bool CControlUI::Activate() { return IsVisible() && IsEnabled(); }
CPaintManagerUI* CControlUI::GetManager() const { return manager_; }
void CControlUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init) {
  manager_ = manager;
  parent_ = parent;
  if (init && parent != nullptr) Init();
}
CControlUI* CControlUI::GetParent() const { return parent_; }

std::wstring CControlUI::GetText() const { return text_; }
void CControlUI::SetText(const std::wstring& text) {
  if (text == text_) return;
  text_ = ReplaceAll(text, L"{\\n}", L"\n");
  Invalidate();
}

// --- Geometry ---------------------------------------------------------------------------------------

int CControlUI::Scale(int value) const { return manager_ != nullptr ? manager_->GetDPIObj()->Scale(value) : value; }
SIZE CControlUI::Scale(SIZE size) const { return manager_ != nullptr ? manager_->GetDPIObj()->Scale(size) : size; }
RECT CControlUI::Scale(const RECT& rc) const {
  if (manager_ == nullptr) return rc;
  CDPI* dpi = manager_->GetDPIObj();
  return MakeRect(dpi->Scale(static_cast<int>(rc.left)), dpi->Scale(static_cast<int>(rc.top)),
                  dpi->Scale(static_cast<int>(rc.right)), dpi->Scale(static_cast<int>(rc.bottom)));
}

RECT CControlUI::GetRelativePos() const {
  if (parent_ == nullptr) return item_;
  const RECT& parent = parent_->GetPos();
  return Offset(item_, -parent.left, -parent.top);
}
RECT CControlUI::GetClientPos() const { return item_; }
const RECT& CControlUI::GetPos() const { return item_; }

void CControlUI::SetPos(RECT rc, bool needInvalidate) {
  if (rc.right < rc.left) rc.right = rc.left;
  if (rc.bottom < rc.top) rc.bottom = rc.top;
  RECT invalidate = IsEmpty(item_) ? rc : item_;
  item_ = rc;
  if (manager_ == nullptr) return;
  if (!setPosGuard_) {
    setPosGuard_ = true;
    OnSize(this);
    setPosGuard_ = false;
  }
  updateNeeded_ = false;
  if (needInvalidate && IsVisible()) {
    invalidate = Union(invalidate, item_);
    for (CControlUI* parent = parent_; parent != nullptr; parent = parent->GetParent()) {
      if (!parent->IsVisible()) return;
      if (!Intersect(invalidate, invalidate, parent->GetPos())) return;
    }
    manager_->Invalidate(invalidate);
  }
}

void CControlUI::Move(SIZE offset, bool needInvalidate) {
  item_ = Offset(item_, offset.cx, offset.cy);
  NeedParentUpdate();
}

int CControlUI::GetWidth() const { return Width(item_); }
int CControlUI::GetHeight() const { return Height(item_); }
int CControlUI::GetX() const { return item_.left; }
int CControlUI::GetY() const { return item_.top; }
RECT CControlUI::GetPadding() const { return Scale(padding_); }
void CControlUI::SetPadding(RECT padding) {
  padding_ = padding;
  NeedParentUpdate();
}
SIZE CControlUI::GetFixedXY() const { return Scale(fixedXY_); }
void CControlUI::SetFixedXY(SIZE xy) {
  fixedXY_ = xy;
  NeedParentUpdate();
}
SIZE CControlUI::GetFixedSize() const { return Scale(fixedSize_); }
int CControlUI::GetFixedWidth() const { return Scale(static_cast<int>(fixedSize_.cx)); }
void CControlUI::SetFixedWidth(int cx) {
  if (cx < 0) return;
  fixedSize_.cx = cx;
  NeedParentUpdate();
}
int CControlUI::GetFixedHeight() const { return Scale(static_cast<int>(fixedSize_.cy)); }
void CControlUI::SetFixedHeight(int cy) {
  if (cy < 0) return;
  fixedSize_.cy = cy;
  NeedParentUpdate();
}
int CControlUI::GetMinWidth() const { return Scale(static_cast<int>(minSize_.cx)); }
void CControlUI::SetMinWidth(int cx) {
  if (cx < 0 || minSize_.cx == cx) return;
  minSize_.cx = cx;
  NeedParentUpdate();
}
int CControlUI::GetMaxWidth() const { return Scale(static_cast<int>(maxSize_.cx)); }
void CControlUI::SetMaxWidth(int cx) {
  if (cx < 0 || maxSize_.cx == cx) return;
  maxSize_.cx = cx;
  NeedParentUpdate();
}
int CControlUI::GetMinHeight() const { return Scale(static_cast<int>(minSize_.cy)); }
void CControlUI::SetMinHeight(int cy) {
  if (cy < 0 || minSize_.cy == cy) return;
  minSize_.cy = cy;
  NeedParentUpdate();
}
int CControlUI::GetMaxHeight() const { return Scale(static_cast<int>(maxSize_.cy)); }
void CControlUI::SetMaxHeight(int cy) {
  if (cy < 0 || maxSize_.cy == cy) return;
  maxSize_.cy = cy;
  NeedParentUpdate();
}
void CControlUI::SetFloatPercent(TPercentInfo percent) {
  floatPercent_ = percent;
  NeedParentUpdate();
}
void CControlUI::SetFloatAlign(UINT align) {
  floatAlign_ = align;
  NeedParentUpdate();
}
SIZE CControlUI::EstimateSize(SIZE /*available*/) { return GetFixedSize(); }

// --- Texts and flags --------------------------------------------------------------------------------

void CControlUI::SetToolTip(const std::wstring& text) { toolTip_ = ReplaceAll(text, L"<n>", L"\r\n"); }

std::wstring CControlUI::GetAccessibleName() const {
  if (!accessibleName_.empty()) return accessibleName_;
  const std::wstring text = GetText();
  return text.empty() ? toolTip_ : text;
}
int CControlUI::GetToolTipWidth() const { return Scale(toolTipWidth_); }

bool CControlUI::IsVisible() const { return visible_ && internalVisible_; }

void CControlUI::SetVisible(bool visible) {
  if (visible_ == visible) return;
  const bool wasVisible = IsVisible();
  visible_ = visible;
  focused_ = false;
  if (!visible && manager_ != nullptr && manager_->GetFocus() == this) manager_->SetFocus(nullptr);
  if (IsVisible() != wasVisible) NeedParentUpdate();
}

void CControlUI::SetInternalVisible(bool visible) {
  internalVisible_ = visible;
  if (!visible && manager_ != nullptr && manager_->GetFocus() == this) manager_->SetFocus(nullptr);
}

void CControlUI::SetEnabled(bool enabled) {
  enabled_ = enabled;
  Invalidate();
}

void CControlUI::SetFocus() {
  if (manager_ != nullptr) manager_->SetFocus(this);
}

void CControlUI::SetFloat(bool isFloat) {
  if (float_ == isFloat) return;
  float_ = isFloat;
  NeedParentUpdate();
}

// --- Look -------------------------------------------------------------------------------------------

#define VENEER_SET_AND_INVALIDATE(field, value) \
  do {                                          \
    if ((field) == (value)) return;             \
    (field) = (value);                          \
    Invalidate();                               \
  } while (false)

void CControlUI::SetBkColor(DWORD color) { VENEER_SET_AND_INVALIDATE(bkColor_, color); }
void CControlUI::SetBkColor2(DWORD color) { VENEER_SET_AND_INVALIDATE(bkColor2_, color); }
void CControlUI::SetBkColor3(DWORD color) { VENEER_SET_AND_INVALIDATE(bkColor3_, color); }
void CControlUI::SetForeColor(DWORD color) { VENEER_SET_AND_INVALIDATE(foreColor_, color); }
void CControlUI::SetBkImage(const std::wstring& descriptor) { VENEER_SET_AND_INVALIDATE(bkImage_, descriptor); }
void CControlUI::SetForeImage(const std::wstring& descriptor) { VENEER_SET_AND_INVALIDATE(foreImage_, descriptor); }
void CControlUI::SetBorderColor(DWORD color) { VENEER_SET_AND_INVALIDATE(borderColor_, color); }
void CControlUI::SetFocusBorderColor(DWORD color) { VENEER_SET_AND_INVALIDATE(focusBorderColor_, color); }
void CControlUI::SetColorHSL(bool hsl) { VENEER_SET_AND_INVALIDATE(colorHSL_, hsl); }
void CControlUI::SetBorderSize(int size) { VENEER_SET_AND_INVALIDATE(borderSize_, size); }
void CControlUI::SetBorderStyle(int style) { VENEER_SET_AND_INVALIDATE(borderStyle_, style); }
void CControlUI::SetGradient(const std::wstring& text) { VENEER_SET_AND_INVALIDATE(gradient_, text); }
void CControlUI::SetBorderSides(RECT sides) {
  if (SameRect(sides, borderSides_)) return;
  borderSides_ = sides;
  Invalidate();
}
void CControlUI::SetBorderRound(SIZE round) {
  if (round.cx == borderRound_.cx && round.cy == borderRound_.cy) return;
  borderRound_ = round;
  Invalidate();
}
#undef VENEER_SET_AND_INVALIDATE

int CControlUI::GetBorderSize() const { return Scale(borderSize_); }
SIZE CControlUI::GetBorderRound() const { return Scale(borderRound_); }

// The process-wide hue/saturation/lightness shift is never set by the installer: colours pass through.
DWORD CControlUI::AdjustColor(DWORD color) const { return color; }

// --- Custom attributes ------------------------------------------------------------------------------

const wchar_t* CControlUI::GetCustomAttribute(const wchar_t* name) {
  if (name == nullptr) return nullptr;
  std::wstring* value = customAttributes_.Find(name);
  return value != nullptr ? value->c_str() : nullptr;
}

void CControlUI::AddCustomAttribute(const wchar_t* name, const wchar_t* value) {
  if (name == nullptr || value == nullptr || name[0] == 0 || value[0] == 0) return;
  customAttributes_.Insert(name, value);  // the first value of a name stays
}

// --- Update requests --------------------------------------------------------------------------------

void CControlUI::Invalidate() {
  if (!IsVisible()) return;
  RECT rc = item_;
  for (CControlUI* parent = parent_; parent != nullptr; parent = parent->GetParent()) {
    if (!Intersect(rc, rc, parent->GetPos())) return;
  }
  if (IsEmpty(rc)) return;
  if (manager_ != nullptr) manager_->Invalidate(rc);
}

void CControlUI::NeedUpdate() {
  if (!IsVisible()) return;
  updateNeeded_ = true;
  Invalidate();
  if (manager_ != nullptr) manager_->NeedUpdate();
}

void CControlUI::NeedParentUpdate() {
  if (parent_ != nullptr) {
    parent_->NeedUpdate();
    parent_->Invalidate();
  } else {
    NeedUpdate();
  }
  if (manager_ != nullptr) manager_->NeedUpdate();
}

// --- Search, life cycle, events ---------------------------------------------------------------------

CControlUI* CControlUI::FindControl(FindControlProc proc, void* data, UINT flags) {
  if ((flags & kFindVisible) && !IsVisible()) return nullptr;
  if ((flags & kFindEnabled) && !IsEnabled()) return nullptr;
  if ((flags & kFindHitTest) && (!mouseEnabled_ || !Contains(item_, *static_cast<POINT*>(data)))) return nullptr;
  return proc(this, data);
}

void CControlUI::Init() {
  DoInit();
  OnInit(this);
}

void CControlUI::DoInit() {}

void CControlUI::Event(EventRecord& event) {
  if (OnEvent(&event)) DoEvent(event);
}

void CControlUI::DoEvent(EventRecord& event) {
  switch (event.type) {
    case UiEvent::SetCursor:
      ::SetCursor(::LoadCursorW(nullptr, cursor_ != 0 ? MAKEINTRESOURCEW(cursor_) : IDC_ARROW));
      return;
    case UiEvent::SetFocus:
      focused_ = true;
      Invalidate();
      return;
    case UiEvent::KillFocus:
      focused_ = false;
      Invalidate();
      return;
    case UiEvent::Timer:
      if (manager_ != nullptr) manager_->SendNotify(this, L"timer", event.wParam, event.lParam);
      return;
    case UiEvent::ContextMenu:
      if (IsContextMenuEnabled() && manager_ != nullptr)
        manager_->SendNotify(this, L"menu", event.wParam, event.lParam);
      return;
    default:
      if (parent_ != nullptr) parent_->DoEvent(event);
      return;
  }
}

// --- Attributes -------------------------------------------------------------------------------------

namespace {

struct CursorName {
  const wchar_t* name;
  const wchar_t* id;
};
const CursorName kCursors[] = {
    {L"arrow", IDC_ARROW},   {L"ibeam", IDC_IBEAM},       {L"wait", IDC_WAIT},
    {L"cross", IDC_CROSS},   {L"uparrow", IDC_UPARROW},   {L"size", IDC_SIZE},
    {L"icon", IDC_ICON},     {L"sizenwse", IDC_SIZENWSE}, {L"sizenesw", IDC_SIZENESW},
    {L"sizewe", IDC_SIZEWE}, {L"sizens", IDC_SIZENS},     {L"sizeall", IDC_SIZEALL},
    {L"no", IDC_NO},         {L"hand", IDC_HAND},
};

}  // namespace

void CControlUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (name == nullptr || value == nullptr) return;
  const std::wstring_view n(name);
  auto is = [&n](const wchar_t* candidate) { return EqualsNoCase(n, candidate); };

  if (is(L"style")) {
    const wchar_t* style = manager_ != nullptr ? manager_->GetStyle(value) : nullptr;
    if (style != nullptr) {
      ApplyAttributeList(style);
    } else {
      AddCustomAttribute(name, value);
    }
  } else if (is(L"innerstyle")) {
    ApplyAttributeList(value);
  } else if (is(L"pos")) {
    const RECT rc = ParseRect(value);
    SetFixedXY(MakeSize(rc.left >= 0 ? rc.left : rc.right, rc.top >= 0 ? rc.top : rc.bottom));
    SetFixedWidth(std::labs(rc.right - rc.left));
    SetFixedHeight(std::labs(rc.bottom - rc.top));
  } else if (is(L"float")) {
    if (std::wcschr(value, L',') != nullptr) {
      TPercentInfo percent;
      wchar_t* end = nullptr;
      percent.left = std::wcstod(value, &end);
      percent.top = *end ? std::wcstod(end + 1, &end) : 0;
      percent.right = *end ? std::wcstod(end + 1, &end) : 0;
      percent.bottom = *end ? std::wcstod(end + 1, &end) : 0;
      SetFloatPercent(percent);
      SetFloat(true);
    } else {
      SetFloat(ParseBool(value));
    }
  } else if (is(L"floatalign")) {
    UINT align = GetFloatAlign();
    std::wstring words(value);
    for (wchar_t& c : words)
      if (c == L',') c = L' ';
    size_t pos = 0;
    while (pos < words.size()) {
      const size_t start = words.find_first_not_of(L' ', pos);
      if (start == std::wstring::npos) break;
      const size_t end = words.find(L' ', start);
      const std::wstring word = words.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
      pos = end == std::wstring::npos ? words.size() : end;
      if (word == L"null") align = 0;
      if (word == L"left") align = (align & ~3u) | kFloatAlignLeft;
      if (word == L"center") align = (align & ~3u) | kFloatAlignCenter;
      if (word == L"right") align = (align & ~3u) | kFloatAlignRight;
      if (word == L"top") align = (align & ~12u) | kFloatAlignTop;
      if (word == L"vcenter") align = (align & ~12u) | kFloatAlignVCenter;
      if (word == L"bottom") align = (align & ~12u) | kFloatAlignBottom;
    }
    SetFloatAlign(align);
  } else if (is(L"padding")) {
    SetPadding(ParseRect(value));
  } else if (is(L"gradient")) {
    SetGradient(value);
  } else if (is(L"bkcolor") || is(L"bkcolor1")) {
    SetBkColor(ParseColor(value));
  } else if (is(L"bkcolor2")) {
    SetBkColor2(ParseColor(value));
  } else if (is(L"bkcolor3")) {
    SetBkColor3(ParseColor(value));
  } else if (is(L"forecolor")) {
    SetForeColor(ParseColor(value));
  } else if (is(L"bordercolor")) {
    SetBorderColor(ParseColor(value));
  } else if (is(L"focusbordercolor")) {
    SetFocusBorderColor(ParseColor(value));
  } else if (is(L"colorhsl")) {
    SetColorHSL(ParseBool(value));
  } else if (is(L"bordersize")) {
    if (std::wcschr(value, L',') == nullptr) {
      SetBorderSize(static_cast<int>(ParseLong(value)));
      SetBorderSides(RECT{});
    } else {
      SetBorderSides(ParseRect(value));
    }
  } else if (is(L"leftbordersize")) {
    RECT sides = borderSides_;
    sides.left = ParseLong(value);
    SetBorderSides(sides);
  } else if (is(L"topbordersize")) {
    RECT sides = borderSides_;
    sides.top = ParseLong(value);
    SetBorderSides(sides);
  } else if (is(L"rightbordersize")) {
    RECT sides = borderSides_;
    sides.right = ParseLong(value);
    SetBorderSides(sides);
  } else if (is(L"bottombordersize")) {
    RECT sides = borderSides_;
    sides.bottom = ParseLong(value);
    SetBorderSides(sides);
  } else if (is(L"borderstyle")) {
    SetBorderStyle(static_cast<int>(ParseLong(value)));
  } else if (is(L"borderround")) {
    SetBorderRound(ParseSize(value));
  } else if (is(L"bkimage")) {
    SetBkImage(value);
  } else if (is(L"foreimage")) {
    SetForeImage(value);
  } else if (is(L"width")) {
    SetFixedWidth(static_cast<int>(ParseLong(value)));
  } else if (is(L"height")) {
    SetFixedHeight(static_cast<int>(ParseLong(value)));
  } else if (is(L"minwidth")) {
    SetMinWidth(static_cast<int>(ParseLong(value)));
  } else if (is(L"minheight")) {
    SetMinHeight(static_cast<int>(ParseLong(value)));
  } else if (is(L"maxwidth")) {
    SetMaxWidth(static_cast<int>(ParseLong(value)));
  } else if (is(L"maxheight")) {
    SetMaxHeight(static_cast<int>(ParseLong(value)));
  } else if (is(L"name")) {
    SetName(value);
  } else if (is(L"drag")) {
    SetDragEnabled(ParseBool(value));
  } else if (is(L"drop")) {
    SetDropEnabled(ParseBool(value));
  } else if (is(L"resourcetext")) {
    SetResourceText(ParseBool(value));
  } else if (is(L"richevent")) {
    SetRichEvent(ParseBool(value));
  } else if (is(L"text")) {
    SetText(value);
  } else if (is(L"tooltip")) {
    SetToolTip(value);
  } else if (is(L"userdata")) {
    SetUserData(value);
  } else if (is(L"enabled")) {
    SetEnabled(ParseBool(value));
  } else if (is(L"mouse")) {
    SetMouseEnabled(ParseBool(value));
  } else if (is(L"keyboard")) {
    SetKeyboardEnabled(ParseBool(value));
  } else if (is(L"visible")) {
    SetVisible(ParseBool(value));
  } else if (is(L"shortcut")) {
    SetShortcut(value[0]);
  } else if (is(L"menu")) {
    SetContextMenuEnabled(ParseBool(value));
  } else if (is(L"cursor")) {
    for (const CursorName& cursor : kCursors) {
      if (EqualsNoCase(value, cursor.name)) {
        SetCursor(static_cast<WORD>(reinterpret_cast<ULONG_PTR>(cursor.id)));
        break;
      }
    }
  } else if (is(L"virtualwnd")) {
    SetVirtualWnd(value);
  } else {
    AddCustomAttribute(name, value);
  }
}

void CControlUI::ApplyAttributeList(const wchar_t* list) {
  if (list == nullptr) return;
  // A style may name another style; a chain that comes back to itself must not recurse forever.
  static thread_local int depth = 0;
  if (depth >= 16) return;
  struct DepthGuard {
    DepthGuard() { ++depth; }
    ~DepthGuard() { --depth; }
  } guard;
  if (manager_ != nullptr) {
    if (const wchar_t* style = manager_->GetStyle(list)) {
      ApplyAttributeList(style);
      return;
    }
  }
  ForEachAttribute(
      list, [this](const std::wstring& name, const std::wstring& value) { SetAttribute(name.c_str(), value.c_str()); });
}

}  // namespace Veneer
