#include "veneer/rich_edit.h"

#include <windowsx.h>
#include <imm.h>

#include <cstdlib>
#include <cwchar>
#include <vector>

#include "app/unique_resource.h"
#include "veneer/attribute_text.h"
#include "veneer/render_engine.h"

namespace Veneer {
namespace {

using UniqueHmenu = UniqueAny<NullInvalidTraits<HMENU, &::DestroyMenu>>;

constexpr DWORD kEventMask = ENM_CHANGE | ENM_DROPFILES | ENM_LINK;  // 0x04100001

bool IsMouseMessage(UINT msg) { return msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST; }
bool IsKeyboardMessage(UINT msg) { return msg >= WM_KEYFIRST && msg <= WM_KEYLAST; }
bool IsImeMessage(UINT msg) {
  return (msg >= WM_IME_STARTCOMPOSITION && msg <= WM_IME_COMPOSITION) || msg == WM_IME_CHAR || msg == WM_IME_REQUEST;
}

// Text the engine draws with GDI leaves alpha 0 in a 32-bit surface. The window's composition makes such
// pixels opaque only when they are not black, so black text and a black caret would turn into holes in a
// layered window. This guard remembers a region of the surface and, when it ends, makes every pixel that
// changed meanwhile and still has alpha 0 opaque.
class CAlphaRepair {
 public:
  CAlphaRepair(HDC dc, const RECT& area, bool active) {
    if (!active) return;
    DIBSECTION section{};
    HGDIOBJ bitmap = ::GetCurrentObject(dc, OBJ_BITMAP);
    if (bitmap == nullptr || ::GetObjectW(bitmap, sizeof(section), &section) != sizeof(section)) return;
    if (section.dsBm.bmBitsPixel != 32 || section.dsBm.bmBits == nullptr) return;
    const RECT surface = MakeRect(0, 0, section.dsBm.bmWidth, std::labs(section.dsBm.bmHeight));
    if (!Intersect(area_, area, surface)) return;
    bits_ = static_cast<uint32_t*>(section.dsBm.bmBits);
    stride_ = section.dsBm.bmWidth;
    before_.reserve(static_cast<size_t>(Width(area_)) * Height(area_));
    for (long y = area_.top; y < area_.bottom; ++y)
      for (long x = area_.left; x < area_.right; ++x) before_.push_back(bits_[y * stride_ + x]);
  }
  CAlphaRepair(const CAlphaRepair&) = delete;
  CAlphaRepair& operator=(const CAlphaRepair&) = delete;
  ~CAlphaRepair() {
    if (bits_ == nullptr) return;
    ::GdiFlush();
    size_t i = 0;
    for (long y = area_.top; y < area_.bottom; ++y) {
      for (long x = area_.left; x < area_.right; ++x, ++i) {
        uint32_t& pixel = bits_[y * stride_ + x];
        if (pixel != before_[i] && (pixel >> 24) == 0) pixel |= 0xFF000000u;
      }
    }
  }

 private:
  uint32_t* bits_ = nullptr;
  long stride_ = 0;
  RECT area_{};
  std::vector<uint32_t> before_;
};

}  // namespace

CRichEditUI::CRichEditUI() = default;

CRichEditUI::~CRichEditUI() {
  if (host_ != nullptr) {
    if (manager_ != nullptr) manager_->RemoveMessageFilter(this);
    host_->Shutdown();
    host_->Release();
    host_ = nullptr;
  }
}

const wchar_t* CRichEditUI::GetClass() const { return L"RichEditUI"; }

void* CRichEditUI::GetInterface(const wchar_t* name) {
  if (name == nullptr) return nullptr;
  if (std::wcscmp(name, L"RichEdit") == 0) return static_cast<CRichEditUI*>(this);
  // The paint manager asks these two: whether Tab stays in the field, and who re-reads its font.
  if (std::wcscmp(name, L"WantTab") == 0) return wantTab_ ? static_cast<CRichEditUI*>(this) : nullptr;
  if (std::wcscmp(name, L"RichEditFont") == 0) return static_cast<CRichEditUI*>(this);
  return CContainerUI::GetInterface(name);
}

UINT CRichEditUI::GetControlFlags() const {
  if (!IsEnabled()) return 0;
  return kControlFlagSetCursor | (IsKeyboardEnabled() ? kControlFlagTabStop : 0);
}

// --- Text -------------------------------------------------------------------------------------------

bool CRichEditUI::TxSend(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) const {
  if (host_ == nullptr || host_->GetTextServices() == nullptr) return false;
  LRESULT local = 0;
  return host_->GetTextServices()->TxSendMessage(msg, wParam, lParam, result != nullptr ? result : &local) == S_OK;
}

std::wstring CRichEditUI::GetText() const {
  if (host_ == nullptr) return text_;
  GETTEXTLENGTHEX lengthQuery = {GTL_DEFAULT, 1200};
  LRESULT length = 0;
  TxSend(EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&lengthQuery), 0, &length);
  if (length <= 0) return std::wstring();
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  GETTEXTEX query{};
  query.cb = static_cast<DWORD>((length + 1) * sizeof(wchar_t));
  query.flags = GT_DEFAULT;
  query.codepage = 1200;
  LRESULT copied = 0;
  TxSend(EM_GETTEXTEX, reinterpret_cast<WPARAM>(&query), reinterpret_cast<LPARAM>(text.data()), &copied);
  text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
  return text;
}

void CRichEditUI::SetText(const std::wstring& text) {
  CControlUI::SetText(text);
  if (host_ == nullptr) return;
  // The engine may hold typed text that the stored text never saw, so it is replaced whatever text_ says.
  SetSel(0, -1);
  ReplaceSel(text_, false);
}

// --- Settings ---------------------------------------------------------------------------------------

void CRichEditUI::SetTextColor(DWORD color) {
  textColor_ = color;
  if (host_ != nullptr) host_->SetColor(color);
  Invalidate();
}

void CRichEditUI::ApplyFont() {
  if (host_ != nullptr && manager_ != nullptr) host_->SetFont(manager_->GetFont(font_));
}

void CRichEditUI::SetFont(int font) {
  font_ = font;
  ApplyFont();
  if (vcenter_) SetPos(item_, true);  // the line's height is the font's
  Invalidate();
}

void CRichEditUI::SetLimitText(int maxChars) {
  maxChar_ = maxChars;
  if (host_ != nullptr) host_->SetMaxLength(static_cast<DWORD>(maxChars));
  Invalidate();
}

void CRichEditUI::SetEditStyle(DWORD style) {
  style_ = style;
  if (host_ != nullptr) host_->SetStyle(style);
  Invalidate();
}

void CRichEditUI::SetMultiLine(bool multiLine) {
  SetEditStyle(multiLine ? (style_ | kEditMultiLine) : (style_ & ~kEditMultiLine));
}

void CRichEditUI::SetWantTab(bool want) { wantTab_ = want; }
void CRichEditUI::SetWantReturn(bool want) { wantReturn_ = want; }
void CRichEditUI::SetWantCtrlReturn(bool want) { wantCtrlReturn_ = want; }

void CRichEditUI::SetTransparent(bool transparent) {
  transparent_ = transparent;
  if (host_ != nullptr) host_->SetTransparent(transparent);
  Invalidate();
}

void CRichEditUI::SetRich(bool rich) {
  rich_ = rich;
  if (host_ != nullptr) host_->SetRichText(rich);
  Invalidate();
}

void CRichEditUI::SetReadOnly(bool readOnly) {
  readOnly_ = readOnly;
  if (host_ != nullptr) host_->SetReadOnly(readOnly);
  Invalidate();
}

void CRichEditUI::SetTipValue(const std::wstring& tip) {
  tipValue_ = tip;
  Invalidate();
}

void CRichEditUI::SetTipValueColor(DWORD color) {
  tipColor_ = color;
  Invalidate();
}

void CRichEditUI::SetTipValueAlign(UINT align) {
  tipAlign_ = align;
  Invalidate();
}

RECT CRichEditUI::GetTextPadding() const { return Scale(textPadding_); }

void CRichEditUI::SetTextPadding(RECT padding) {
  textPadding_ = padding;
  SetPos(item_, true);
}

void CRichEditUI::SetVCenter(bool vcenter) {
  vcenter_ = vcenter;
  SetPos(item_, true);
}

// --- Editing commands ---------------------------------------------------------------------------------

void CRichEditUI::Undo() { TxSend(EM_UNDO, 0, 0); }
void CRichEditUI::Redo() { TxSend(EM_REDO, 0, 0); }
void CRichEditUI::Cut() { TxSend(WM_CUT, 0, 0); }
void CRichEditUI::Copy() { TxSend(WM_COPY, 0, 0); }
void CRichEditUI::Paste() { TxSend(WM_PASTE, 0, 0); }
void CRichEditUI::Clear() { TxSend(WM_CLEAR, 0, 0); }
void CRichEditUI::SelectAll() { SetSel(0, -1); }

void CRichEditUI::SetSel(long start, long end) {
  CHARRANGE range = {start, end};
  TxSend(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
}

void CRichEditUI::ReplaceSel(const std::wstring& text, bool canUndo) {
  TxSend(EM_REPLACESEL, canUndo ? TRUE : FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

HMENU CRichEditUI::CreateContextMenu() {
  UniqueHmenu menu(::CreatePopupMenu());
  if (!menu) return nullptr;
  LRESULT canUndo = 0, canRedo = 0, canPaste = 0, length = 0;
  TxSend(EM_CANUNDO, 0, 0, &canUndo);
  TxSend(EM_CANREDO, 0, 0, &canRedo);
  TxSend(EM_CANPASTE, 0, 0, &canPaste);
  TxSend(WM_GETTEXTLENGTH, 0, 0, &length);
  CHARRANGE selection{};
  TxSend(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
  const bool selected = selection.cpMax > selection.cpMin;
  const bool writable = !readOnly_ && !(style_ & kEditReadOnly);
  auto item = [&menu](UINT id, const wchar_t* label, bool enabled) {
    ::AppendMenuW(menu.Get(), MF_STRING | (enabled ? MF_ENABLED : MF_GRAYED), id, label);
  };
  item(RichEditCommand::Undo, L"撤销(&U)", canUndo != 0 && writable);
  item(RichEditCommand::Redo, L"重做(&R)", canRedo != 0 && writable);
  ::AppendMenuW(menu.Get(), MF_SEPARATOR, 0, nullptr);
  item(RichEditCommand::Cut, L"剪切(&X)", selected && writable && !(style_ & kEditPassword));
  item(RichEditCommand::Copy, L"复制(&C)", selected && !(style_ & kEditPassword));
  item(RichEditCommand::Paste, L"粘贴(&V)", canPaste != 0 && writable);
  item(RichEditCommand::Clear, L"清除(&L)", selected && writable);
  ::AppendMenuW(menu.Get(), MF_SEPARATOR, 0, nullptr);
  item(RichEditCommand::SelectAll, L"全选(&A)", length > 0);
  return menu.Release();
}

void CRichEditUI::ExecuteCommand(UINT command) {
  switch (command) {
    case RichEditCommand::Undo: Undo(); break;
    case RichEditCommand::Redo: Redo(); break;
    case RichEditCommand::Cut: Cut(); break;
    case RichEditCommand::Copy: Copy(); break;
    case RichEditCommand::Paste: Paste(); break;
    case RichEditCommand::Clear: Clear(); break;
    case RichEditCommand::SelectAll: SelectAll(); break;
    default: break;
  }
}

// --- Life cycle and layout ------------------------------------------------------------------------------

void CRichEditUI::DoInit() {
  if (initialized_ || manager_ == nullptr) return;
  initialized_ = true;

  // 1. The host and the engine, with formats and settings ready before the engine reads them.
  auto* host = new CTxtWinHost();
  host->Attach(this);
  host->SetStyle(style_);
  host->SetMaxLength(static_cast<DWORD>(maxChar_));
  host->SetTransparent(transparent_);
  host->SetRichText(rich_);
  host->SetReadOnly(readOnly_);
  host->SetFont(manager_->GetFont(font_));
  host->SetColor(textColor_);
  if (!host->Init(text_.c_str())) {
    host->Shutdown();
    host->Release();
    return;
  }
  host_ = host;
  host_->SetMaxLength(static_cast<DWORD>(maxChar_));  // the engine does not read the limit when created
  SetPos(item_, false);

  // 2. No language options; report changes, dropped files and links.
  TxSend(EM_SETLANGOPTIONS, 0, 0);
  TxSend(EM_SETEVENTMASK, 0, kEventMask);

  // 3. Live in the window: in-place active, fed by the manager's messages, caret blinking.
  const RECT client = host_->GetClientRect();
  host_->GetTextServices()->OnTxInPlaceActivate(&client);
  manager_->AddMessageFilter(this);
  manager_->SetTimer(this, kCaretTimerId, ::GetCaretBlinkTime());

  // 4. A disabled field shows its text in the window's disabled colour.
  if (!IsEnabled()) SetTextColor(manager_->GetDefaultDisabledColor());
}

RECT CRichEditUI::TextRect() const {
  const RECT inset = GetInset();
  const RECT padding = GetTextPadding();
  RECT client = MakeRect(item_.left + inset.left + padding.left, item_.top + inset.top + padding.top,
                         item_.right - inset.right - padding.right, item_.bottom - inset.bottom - padding.bottom);
  if (client.right < client.left) client.right = client.left;
  if (client.bottom < client.top) client.bottom = client.top;
  if (vcenter_ && !IsMultiLine() && manager_ != nullptr) {
    // The engine puts its line at the top of its rectangle, so the rectangle is made one line high.
    const long line = manager_->GetFontInfo(font_)->metrics.tmHeight;
    if (line > 0 && line < Height(client)) {
      client.top += (Height(client) - line) / 2;
      client.bottom = client.top + line;
    }
  }
  return client;
}

void CRichEditUI::SetPos(RECT rc, bool needInvalidate) {
  CContainerUI::SetPos(rc, needInvalidate);
  if (host_ != nullptr) host_->SetClientRect(TextRect());
}

// --- Painting -------------------------------------------------------------------------------------------

RECT CRichEditUI::CaretRect() const {
  if (host_ == nullptr) return RECT{};
  POINT pt{};
  ::GetCaretPos(&pt);
  const SIZE size = host_->GetCaretSize();
  return MakeRect(pt.x, pt.y, pt.x + (size.cx > 0 ? size.cx : 1), pt.y + size.cy);
}

void CRichEditUI::InvalidateCaret() {
  if (manager_ == nullptr || host_ == nullptr) return;
  RECT rc = CaretRect();
  for (CControlUI* control = this; control != nullptr; control = control->GetParent())
    if (!Intersect(rc, rc, control->GetPos())) return;
  manager_->Invalidate(rc);
}

void CRichEditUI::PaintStatusImage(HDC dc) {
  const std::wstring* chosen = nullptr;
  if (!IsEnabled()) {
    chosen = &disabledImage_;
  } else if (IsFocused()) {
    chosen = &focusedImage_;
  }
  if (chosen != nullptr && !chosen->empty() && DrawImage(dc, *chosen)) return;
  if (!normalImage_.empty()) DrawImage(dc, normalImage_);
}

bool CRichEditUI::DoPaint(HDC dc, const RECT& paint, CControlUI* stopControl) {
  RECT area;
  if (!Intersect(area, paint, item_)) return true;

  // 1. The field's own look.
  CRenderClip clip(dc, item_);
  CControlUI::DoPaint(dc, paint, stopControl);  // NOLINT(bugprone-parent-virtual-call): own look only

  const bool layered = manager_ != nullptr && manager_->IsLayered();
  {
    CAlphaRepair repair(dc, area, layered);
    // 2. The engine's content.
    if (host_ != nullptr && host_->GetTextServices() != nullptr) {
      RECT client = host_->GetClientRect();
      RECT update;
      if (Intersect(update, client, paint)) {
        CRenderClip engineClip(dc, update);
        host_->GetTextServices()->TxDraw(DVASPECT_CONTENT, 0, nullptr, nullptr, dc, nullptr,
                                         reinterpret_cast<LPCRECTL>(&client), nullptr, &update, nullptr, 0,
                                         TXTVIEW_ACTIVE);
      }
    }
    // 3. Children (the field has no scroll bar controls), 4. the caret the layered window cannot show.
    if (layered && host_ != nullptr && IsFocused() && host_->IsCaretShown() && drawCaret_) {
      POINT pt{};
      ::GetCaretPos(&pt);
      if (Contains(item_, pt)) CRenderEngine::DrawColor(dc, CaretRect(), 0xFF000000u | textColor_);
    }
  }

  // 5. The tip, while the field is empty and not focused.
  if (!tipValue_.empty() && !IsFocused() && GetText().empty()) {
    // Where typed text would begin, so that the tip does not jump aside when the field gets its text.
    RECT rc = TextRect();
    const UINT style = tipAlign_ | (IsMultiLine() ? 0 : DT_VCENTER);
    CRenderEngine::DrawPlainText(dc, manager_, rc, tipValue_, tipColor_, font_, style);
  }
  return true;
}

// --- Events and messages ------------------------------------------------------------------------------

void CRichEditUI::DoEvent(EventRecord& event) {
  if (!IsMouseEnabled() && event.type >= UiEvent::MouseMove && event.type <= UiEvent::ScrollWheel) {
    if (parent_ != nullptr) {
      parent_->DoEvent(event);
    } else {
      CContainerUI::DoEvent(event);
    }
    return;
  }
  switch (event.type) {
    case UiEvent::SetCursor:
      if (IsEnabled() && host_ != nullptr && Contains(host_->GetClientRect(), event.mouse)) {
        const RECT client = host_->GetClientRect();
        if (host_->GetTextServices()->OnTxSetCursor(DVASPECT_CONTENT, -1, nullptr, nullptr, manager_->GetPaintDC(),
                                                    nullptr, &client, event.mouse.x, event.mouse.y) != S_OK)
          ::SetCursor(::LoadCursorW(nullptr, IDC_IBEAM));
        return;
      }
      break;
    case UiEvent::SetFocus:
      if (host_ != nullptr) {
        host_->GetTextServices()->OnTxUIActivate();
        host_->SetActive(true);
      }
      focused_ = true;
      Invalidate();
      return;
    case UiEvent::KillFocus:
      if (host_ != nullptr) {
        host_->SetActive(false);
        host_->GetTextServices()->OnTxUIDeactivate();
      }
      focused_ = false;
      Invalidate();
      return;
    case UiEvent::WindowSize:
      if (host_ != nullptr) host_->NotifyExtentChange();
      return;
    case UiEvent::Timer:
      if (host_ == nullptr) return;
      if (event.wParam == kCaretTimerId) {
        if (manager_->IsLayered() && IsFocused() && host_->IsCaretShown()) {
          drawCaret_ = !drawCaret_;
          InvalidateCaret();
        } else if (IsFocused() && ::GetFocus() == manager_->GetPaintWindow()) {
          host_->SyncNativeCaret();
        }
      } else {
        TxSend(WM_TIMER, event.wParam, event.lParam);
      }
      return;
    case UiEvent::ButtonDown:
    case UiEvent::DblClick:
    case UiEvent::MouseMove:
    case UiEvent::MouseEnter:
    case UiEvent::ButtonUp:
    case UiEvent::KeyDown:
    case UiEvent::KeyUp:
    case UiEvent::Char: return;  // the message filter hands these to the engine
    case UiEvent::ScrollWheel:
      if (event.keyState & 0x08) return;  // Ctrl + wheel zooms in the engine
      break;
    default: break;
  }
  CContainerUI::DoEvent(event);
}

HRESULT CRichEditUI::SendToEngine(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (msg == WM_KEYDOWN && wParam == VK_RETURN) {
    const bool ctrl = ::GetKeyState(VK_CONTROL) < 0;
    if (!wantReturn_ || (ctrl && !wantCtrlReturn_)) {
      if (manager_ != nullptr) manager_->SendNotify(this, L"return");
      return S_OK;
    }
  }
  return host_->GetTextServices()->TxSendMessage(msg, wParam, lParam, &result);
}

LRESULT CRichEditUI::MessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) {
  if (host_ == nullptr || manager_ == nullptr || !IsVisible() || !IsEnabled()) return 0;
  HWND window = manager_->GetPaintWindow();
  const bool mouse = IsMouseMessage(msg);
  if (mouse && !IsMouseEnabled()) return 0;
  if (msg == WM_MOUSEWHEEL && (GET_KEYSTATE_WPARAM(wParam) & MK_CONTROL) == 0) return 0;

  if (mouse || msg == WM_SETCURSOR) {
    // 2. Mouse messages over this field's text area, unless the engine holds the mouse.
    if (!host_->IsCaptured()) {
      POINT pt{};
      if (msg == WM_SETCURSOR) {
        ::GetCursorPos(&pt);
        ::ScreenToClient(window, &pt);
      } else {
        pt.x = GET_X_LPARAM(lParam);
        pt.y = GET_Y_LPARAM(lParam);
        if (msg == WM_MOUSEWHEEL) ::ScreenToClient(window, &pt);
      }
      if (manager_->FindControl(pt) != this) return 0;
      if (!Contains(host_->GetClientRect(), pt)) return 0;
      if (manager_->IsCaptured()) return 0;
    }
    if (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK || msg == WM_RBUTTONDOWN) {
      if (!manager_->IsNoActivate()) ::SetFocus(window);
      SetFocus();
    }
  } else if (IsKeyboardMessage(msg) || IsImeMessage(msg)) {
    // 3. Keys belong to the focused field only; the IME window follows the caret.
    if (!IsFocused()) return 0;
    if (msg == WM_IME_COMPOSITION) {
      if (HIMC context = ::ImmGetContext(window)) {
        COMPOSITIONFORM form{};
        form.dwStyle = CFS_FORCE_POSITION;
        ::GetCaretPos(&form.ptCurrentPos);
        ::ImmSetCompositionWindow(context, &form);
        ::ImmReleaseContext(window, context);
      }
    }
  } else if (msg == WM_CONTEXTMENU) {
    // 4. The field's own context menu.
    if (!IsContextMenuEnabled()) return 0;
    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    POINT client = pt;
    ::ScreenToClient(window, &client);
    if (!Contains(item_, client) || manager_->FindControl(client) != this) return 0;
    UniqueHmenu menu(CreateContextMenu());
    if (menu)
      ::TrackPopupMenu(menu.Get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, pt.x, pt.y, 0, window, nullptr);
    handled = true;
    return 0;
  } else if (msg == WM_COMMAND) {
    const UINT command = LOWORD(wParam);
    if (lParam != 0 || !IsFocused() || command < RichEditCommand::Undo || command > RichEditCommand::Redo) return 0;
    ExecuteCommand(command);
    handled = true;
    return 0;
  } else {
    return 0;
  }

  // 5. The engine; its answer counts for keys and characters, and for mouse messages while it holds the
  // mouse. Cursor requests and moves stay unhandled so that hover tracking still sees them.
  const bool capturedBefore = host_->IsCaptured();
  LRESULT result = 0;
  const bool processed = SendToEngine(msg, wParam, lParam, result) == S_OK;
  bool counts = IsKeyboardMessage(msg) || IsImeMessage(msg) || (mouse && (capturedBefore || host_->IsCaptured()));
  if (msg == WM_SETCURSOR || msg == WM_MOUSEMOVE) counts = false;
  handled = processed && counts;
  return result;
}

HRESULT CRichEditUI::OnTxNotify(DWORD notify, void* data) {
  if (manager_ == nullptr) return S_OK;
  if (notify == EN_CHANGE) {
    manager_->SendNotify(this, L"textchanged");
    return S_OK;
  }
  // Other notifications go to the window as WM_NOTIFY; those of 0x700 and up carry an NMHDR first.
  HWND window = manager_->GetPaintWindow();
  NMHDR local{};
  NMHDR* header = (notify >= EN_MSGFILTER && data != nullptr) ? static_cast<NMHDR*>(data) : &local;
  header->hwndFrom = window;
  header->idFrom = static_cast<UINT_PTR>(::GetWindowLongPtrW(window, GWLP_ID));
  header->code = notify;
  ::SendMessageW(window, WM_NOTIFY, header->idFrom, reinterpret_cast<LPARAM>(header));
  return S_OK;
}

// --- Attributes -------------------------------------------------------------------------------------

void CRichEditUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (name == nullptr || value == nullptr) return;
  // Several names, and their "true" values, compare exactly here.
  auto exact = [name](const wchar_t* candidate) { return std::wcscmp(name, candidate) == 0; };
  auto is = [name](const wchar_t* candidate) { return EqualsNoCase(name, candidate); };
  const bool yes = std::wcscmp(value, L"true") == 0;
  auto holds = [value](const wchar_t* word) { return std::wcsstr(value, word) != nullptr; };

  if (exact(L"vscrollbar")) {
    if (yes) SetEditStyle(style_ | kEditVScrollBar | kEditKeepScrollBars);
  } else if (exact(L"autovscroll")) {
    if (yes) SetEditStyle(style_ | kEditAutoVScroll);
  } else if (exact(L"hscrollbar")) {
    if (yes) SetEditStyle(style_ | kEditHScrollBar | kEditKeepScrollBars);
  } else if (exact(L"autohscroll")) {
    if (yes) SetEditStyle(style_ | kEditAutoHScroll);
  } else if (is(L"multiline")) {
    SetMultiLine(yes);
  } else if (exact(L"wanttab")) {
    SetWantTab(yes);
  } else if (exact(L"wantreturn")) {
    SetWantReturn(yes);
  } else if (exact(L"wantctrlreturn")) {
    SetWantCtrlReturn(yes);
  } else if (exact(L"transparent")) {
    SetTransparent(yes);
  } else if (exact(L"rich")) {
    SetRich(yes);
  } else if (exact(L"readonly")) {
    if (yes) {
      SetEditStyle(style_ | kEditReadOnly);
      SetReadOnly(true);
    }
  } else if (exact(L"password")) {
    if (yes) SetEditStyle(style_ | kEditPassword);
  } else if (exact(L"align")) {
    if (holds(L"left")) {
      SetEditStyle(style_ & ~kEditAlignMask);
    } else if (holds(L"center")) {
      SetEditStyle((style_ & ~kEditAlignMask) | 1);
    } else if (holds(L"right")) {
      SetEditStyle((style_ & ~kEditAlignMask) | 2);
    }
  } else if (exact(L"font")) {
    SetFont(static_cast<int>(ParseLong(value)));
  } else if (exact(L"textcolor")) {
    SetTextColor(ParseColor(value));
  } else if (is(L"maxchar")) {
    SetLimitText(static_cast<int>(ParseLong(value)));
  } else if (is(L"normalimage")) {
    normalImage_ = value;
    Invalidate();
  } else if (is(L"hotimage")) {
    hotImage_ = value;
    Invalidate();
  } else if (is(L"focusedimage")) {
    focusedImage_ = value;
    Invalidate();
  } else if (is(L"disabledimage")) {
    disabledImage_ = value;
    Invalidate();
  } else if (is(L"textpadding")) {
    SetTextPadding(ParseRect(value));
  } else if (is(L"tipvalue")) {
    SetTipValue(value);
  } else if (is(L"tipvaluecolor")) {
    SetTipValueColor(ParseColor(value));
  } else if (is(L"tipvaluealign")) {
    if (holds(L"left")) {
      SetTipValueAlign(DT_SINGLELINE | DT_LEFT);
    } else if (holds(L"center")) {
      SetTipValueAlign(DT_SINGLELINE | DT_CENTER);
    } else if (holds(L"right")) {
      SetTipValueAlign(DT_SINGLELINE | DT_RIGHT);
    }
  } else if (is(L"vcenter")) {
    SetVCenter(ParseBool(value));
  } else if (exact(L"refreshfont")) {
    // Asked by the paint manager after a DPI change: the engine's font is built from the GDI font.
    ApplyFont();
  } else {
    CContainerUI::SetAttribute(name, value);
  }
}

}  // namespace Veneer
