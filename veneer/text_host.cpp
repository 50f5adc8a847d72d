#include "veneer/text_host.h"

#include <imm.h>

#include <algorithm>

#include "veneer/rich_edit.h"

namespace Veneer {

const IID kIidTextServices = {0x8d33f740, 0xcf58, 0x11ce, {0xa8, 0x9d, 0x00, 0xaa, 0x00, 0x6c, 0xad, 0xc5}};
const IID kIidTextHost = {0x13e670f4, 0x1a5a, 0x11cf, {0xab, 0xeb, 0x00, 0xaa, 0x00, 0xb6, 0x5e, 0xa1}};

namespace {
constexpr LONG kDefaultTabTwips = 720;
constexpr LONG kTwipsPerInch = 1440;
}  // namespace

CTxtWinHost::CTxtWinHost() {
  charFormat_.cbSize = sizeof(charFormat_);
  paraFormat_.cbSize = sizeof(paraFormat_);
  paraFormat_.dwMask = PFM_ALL;
  paraFormat_.wAlignment = PFA_LEFT;
  paraFormat_.cTabCount = 1;
  paraFormat_.rgxTabs[0] = kDefaultTabTwips;
}

CTxtWinHost::~CTxtWinHost() = default;

bool CTxtWinHost::Init(const wchar_t* text) {
  engineModule_.Reset(::LoadLibraryW(L"Msftedit.dll"));
  if (!engineModule_) return false;
  auto create = reinterpret_cast<PCreateTextServices>(
      reinterpret_cast<void*>(::GetProcAddress(engineModule_.Get(), "CreateTextServices")));
  if (create == nullptr) return false;
  ComPtr<IUnknown> unknown;
  if (FAILED(create(nullptr, this, unknown.Put())) || !unknown) return false;
  if (FAILED(unknown.Get()->QueryInterface(kIidTextServices, reinterpret_cast<void**>(services_.Put()))) || !services_)
    return false;
  if (text != nullptr && text[0] != 0) services_.Get()->TxSetText(text);
  return true;
}

void CTxtWinHost::Shutdown() {
  if (services_) services_.Get()->OnTxInPlaceDeactivate();
  // The engine may still call back while it goes; without an owner those calls do nothing.
  owner_ = nullptr;
  services_.Reset();
}

HWND CTxtWinHost::Window() const {
  return owner_ != nullptr && owner_->GetManager() != nullptr ? owner_->GetManager()->GetPaintWindow() : nullptr;
}

// --- Settings ---------------------------------------------------------------------------------------

DWORD CTxtWinHost::PropertyBits() const {
  DWORD bits = 0;
  if (richText_) bits |= TXTBIT_RICHTEXT;
  if (style_ & kEditMultiLine) {
    bits |= TXTBIT_MULTILINE;
    if (!(style_ & kEditAutoHScroll)) bits |= TXTBIT_WORDWRAP;
  }
  if (readOnly_ || (style_ & kEditReadOnly)) bits |= TXTBIT_READONLY;
  if (style_ & kEditPassword) bits |= TXTBIT_USEPASSWORD;
  bits |= TXTBIT_SAVESELECTION;
  return bits;
}

void CTxtWinHost::ChangeBits(DWORD bit, bool on) {
  if (services_) services_.Get()->OnTxPropertyBitsChange(bit, on ? bit : 0);
}

void CTxtWinHost::SetClientRect(const RECT& rc) {
  client_ = rc;
  if (services_) services_.Get()->OnTxPropertyBitsChange(TXTBIT_CLIENTRECTCHANGE, TXTBIT_CLIENTRECTCHANGE);
}

void CTxtWinHost::SetFont(HFONT font) {
  LOGFONTW logFont{};
  if (font == nullptr || ::GetObjectW(font, sizeof(logFont), &logFont) == 0) return;
  HDC dc = TxGetDC();
  const int pixelsPerInch = dc != nullptr ? ::GetDeviceCaps(dc, LOGPIXELSY) : 96;
  const COLORREF color = charFormat_.crTextColor;
  charFormat_ = CHARFORMAT2W{};
  charFormat_.cbSize = sizeof(charFormat_);
  charFormat_.crTextColor = color;
  charFormat_.dwMask =
      CFM_SIZE | CFM_OFFSET | CFM_FACE | CFM_CHARSET | CFM_COLOR | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE;
  charFormat_.yHeight = -logFont.lfHeight * kTwipsPerInch / (pixelsPerInch > 0 ? pixelsPerInch : 96);
  if (logFont.lfWeight >= FW_BOLD) charFormat_.dwEffects |= CFE_BOLD;
  if (logFont.lfItalic) charFormat_.dwEffects |= CFE_ITALIC;
  if (logFont.lfUnderline) charFormat_.dwEffects |= CFE_UNDERLINE;
  charFormat_.bCharSet = logFont.lfCharSet;
  charFormat_.bPitchAndFamily = logFont.lfPitchAndFamily;
  std::copy(std::begin(logFont.lfFaceName), std::end(logFont.lfFaceName), std::begin(charFormat_.szFaceName));
  ApplyCharFormat();
}

void CTxtWinHost::ApplyCharFormat() {
  if (!services_) return;
  ChangeBits(TXTBIT_CHARFORMATCHANGE, true);
  // The engine takes a new default format for text typed later; the text it already holds is restyled
  // explicitly, or a colour set after the text (a disabled field's) would never show.
  LRESULT result = 0;
  services_.Get()->TxSendMessage(EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&charFormat_), &result);
}

void CTxtWinHost::SetColor(DWORD argb) {
  charFormat_.crTextColor = RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
  charFormat_.dwMask |= CFM_COLOR;
  charFormat_.dwEffects &= ~CFE_AUTOCOLOR;
  ApplyCharFormat();
}

void CTxtWinHost::SetMaxLength(DWORD length) {
  maxLength_ = length;
  if (!services_) return;
  ChangeBits(TXTBIT_MAXLENGTHCHANGE, true);
  LRESULT result = 0;
  services_.Get()->TxSendMessage(EM_EXLIMITTEXT, 0, static_cast<LPARAM>(length), &result);
}

void CTxtWinHost::SetPasswordChar(wchar_t ch) {
  passwordChar_ = ch;
  ChangeBits(TXTBIT_USEPASSWORD, ch != 0 && (style_ & kEditPassword));
}

void CTxtWinHost::SetStyle(DWORD style) {
  const DWORD old = style_;
  style_ = style;
  switch (style & kEditAlignMask) {
    case 1: paraFormat_.wAlignment = PFA_CENTER; break;
    case 2: paraFormat_.wAlignment = PFA_RIGHT; break;
    default: paraFormat_.wAlignment = PFA_LEFT; break;
  }
  if (!services_) return;
  if ((old ^ style) & kEditMultiLine) ChangeBits(TXTBIT_MULTILINE, (style & kEditMultiLine) != 0);
  if ((old ^ style) & (kEditMultiLine | kEditAutoHScroll))
    ChangeBits(TXTBIT_WORDWRAP, (style & kEditMultiLine) && !(style & kEditAutoHScroll));
  if ((old ^ style) & kEditPassword) ChangeBits(TXTBIT_USEPASSWORD, (style & kEditPassword) != 0);
  if ((old ^ style) & kEditReadOnly) ChangeBits(TXTBIT_READONLY, (style & kEditReadOnly) || readOnly_);
  if ((old ^ style) & (kEditAutoHScroll | kEditAutoVScroll | kEditHScrollBar | kEditVScrollBar))
    ChangeBits(TXTBIT_SCROLLBARCHANGE, true);
  if ((old ^ style) & kEditAlignMask) ChangeBits(TXTBIT_PARAFORMATCHANGE, true);
}

void CTxtWinHost::SetTransparent(bool transparent) {
  transparent_ = transparent;
  ChangeBits(TXTBIT_BACKSTYLECHANGE, true);
}

void CTxtWinHost::SetRichText(bool rich) {
  richText_ = rich;
  ChangeBits(TXTBIT_RICHTEXT, rich);
}

void CTxtWinHost::SetReadOnly(bool readOnly) {
  readOnly_ = readOnly;
  ChangeBits(TXTBIT_READONLY, readOnly || (style_ & kEditReadOnly));
}

void CTxtWinHost::NotifyExtentChange() { ChangeBits(TXTBIT_EXTENTCHANGE, true); }

void CTxtWinHost::SetActive(bool active) {
  if (!services_) return;
  LRESULT result = 0;
  services_.Get()->TxSendMessage(active ? WM_SETFOCUS : WM_KILLFOCUS, 0, 0, &result);
}

void CTxtWinHost::SyncNativeCaret() {
  HWND window = Window();
  if (window == nullptr) return;
  if (caretShown_ && !nativeCaretShown_) {
    nativeCaretShown_ = ::ShowCaret(window) != FALSE;
  } else if (!caretShown_ && nativeCaretShown_) {
    ::HideCaret(window);
    nativeCaretShown_ = false;
  }
}

// --- IUnknown ---------------------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE CTxtWinHost::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, kIidTextHost)) {
    *object = static_cast<ITextHost*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CTxtWinHost::AddRef() { return ++references_; }

ULONG STDMETHODCALLTYPE CTxtWinHost::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

// --- ITextHost --------------------------------------------------------------------------------------

HDC CTxtWinHost::TxGetDC() {
  return owner_ != nullptr && owner_->GetManager() != nullptr ? owner_->GetManager()->GetPaintDC() : nullptr;
}

INT CTxtWinHost::TxReleaseDC(HDC /*dc*/) { return 1; }

// The field has no scroll bar controls; the engine's scroll bar requests are accepted and ignored.
WINBOOL CTxtWinHost::TxShowScrollBar(INT /*bar*/, WINBOOL /*show*/) { return TRUE; }
WINBOOL CTxtWinHost::TxEnableScrollBar(INT /*flags*/, INT /*arrows*/) { return TRUE; }
WINBOOL CTxtWinHost::TxSetScrollRange(INT /*bar*/, LONG /*minPos*/, INT /*maxPos*/, WINBOOL /*redraw*/) { return TRUE; }
WINBOOL CTxtWinHost::TxSetScrollPos(INT /*bar*/, INT /*pos*/, WINBOOL /*redraw*/) { return TRUE; }

void CTxtWinHost::TxInvalidateRect(LPCRECT rc, WINBOOL /*mode*/) {
  if (owner_ == nullptr || owner_->GetManager() == nullptr) return;
  if (rc == nullptr) {
    owner_->Invalidate();
    return;
  }
  RECT area;
  if (Intersect(area, *rc, owner_->GetPos())) owner_->GetManager()->Invalidate(area);
}

void CTxtWinHost::TxViewChange(WINBOOL update) {
  if (update && owner_ != nullptr) owner_->Invalidate();
}

WINBOOL CTxtWinHost::TxCreateCaret(HBITMAP bitmap, INT width, INT height) {
  caretSize_ = MakeSize(width, height);
  nativeCaretShown_ = false;
  HWND window = Window();
  return window != nullptr ? ::CreateCaret(window, bitmap, width, height) : FALSE;
}

WINBOOL CTxtWinHost::TxShowCaret(WINBOOL show) {
  caretShown_ = show != FALSE;
  if (owner_ != nullptr && owner_->GetManager() != nullptr && owner_->GetManager()->IsLayered()) {
    // The native caret is invisible on layered windows; the field draws its own.
    owner_->InvalidateCaret();
    return TRUE;
  }
  SyncNativeCaret();
  return TRUE;
}

WINBOOL CTxtWinHost::TxSetCaretPos(INT x, INT y) {
  if (owner_ != nullptr && owner_->GetManager() != nullptr && owner_->GetManager()->IsLayered())
    owner_->InvalidateCaret();
  caretPos_.x = x;
  caretPos_.y = y;
  if (owner_ != nullptr && owner_->GetManager() != nullptr && owner_->GetManager()->IsLayered())
    owner_->InvalidateCaret();
  return ::SetCaretPos(x, y);
}

WINBOOL CTxtWinHost::TxSetTimer(UINT id, UINT timeout) {
  if (owner_ == nullptr || owner_->GetManager() == nullptr) return FALSE;
  // Engine timers run as timers of the field, so that the paint manager hands their ticks back.
  return owner_->GetManager()->SetTimer(owner_, id, timeout) ? TRUE : FALSE;
}

void CTxtWinHost::TxKillTimer(UINT id) {
  if (owner_ != nullptr && owner_->GetManager() != nullptr) owner_->GetManager()->KillTimer(owner_, id);
}

void CTxtWinHost::TxScrollWindowEx(INT /*dx*/, INT /*dy*/, LPCRECT /*scroll*/, LPCRECT /*clip*/, HRGN /*update*/,
                                   LPRECT /*updateRect*/, UINT /*flags*/) {
  if (owner_ != nullptr) owner_->Invalidate();
}

void CTxtWinHost::TxSetCapture(WINBOOL capture) {
  HWND window = Window();
  if (window == nullptr) return;
  captured_ = capture != FALSE;
  if (captured_) {
    ::SetCapture(window);
  } else if (::GetCapture() == window) {
    ::ReleaseCapture();
  }
}

void CTxtWinHost::TxSetFocus() {
  if (owner_ != nullptr) owner_->SetFocus();
}

void CTxtWinHost::TxSetCursor(HCURSOR cursor, WINBOOL /*text*/) { ::SetCursor(cursor); }

WINBOOL CTxtWinHost::TxScreenToClient(LPPOINT pt) {
  HWND window = Window();
  return window != nullptr && pt != nullptr ? ::ScreenToClient(window, pt) : FALSE;
}

WINBOOL CTxtWinHost::TxClientToScreen(LPPOINT pt) {
  HWND window = Window();
  return window != nullptr && pt != nullptr ? ::ClientToScreen(window, pt) : FALSE;
}

HRESULT CTxtWinHost::TxActivate(LONG* oldState) {
  if (oldState != nullptr) *oldState = 0;
  return S_OK;
}

HRESULT CTxtWinHost::TxDeactivate(LONG /*newState*/) { return S_OK; }

HRESULT CTxtWinHost::TxGetClientRect(LPRECT rc) {
  if (rc == nullptr) return E_INVALIDARG;
  *rc = client_;
  return S_OK;
}

HRESULT CTxtWinHost::TxGetViewInset(LPRECT rc) {
  if (rc == nullptr) return E_INVALIDARG;
  *rc = RECT{};  // the client rectangle is already inset by the field
  return S_OK;
}

HRESULT CTxtWinHost::TxGetCharFormat(const CHARFORMATW** format) {
  if (format == nullptr) return E_INVALIDARG;
  *format = reinterpret_cast<const CHARFORMATW*>(&charFormat_);
  return S_OK;
}

HRESULT CTxtWinHost::TxGetParaFormat(const PARAFORMAT** format) {
  if (format == nullptr) return E_INVALIDARG;
  *format = &paraFormat_;
  return S_OK;
}

COLORREF CTxtWinHost::TxGetSysColor(int index) { return ::GetSysColor(index); }

HRESULT CTxtWinHost::TxGetBackStyle(TXTBACKSTYLE* style) {
  if (style == nullptr) return E_INVALIDARG;
  *style = transparent_ ? TXTBACK_TRANSPARENT : TXTBACK_OPAQUE;
  return S_OK;
}

HRESULT CTxtWinHost::TxGetMaxLength(DWORD* length) {
  if (length == nullptr) return E_INVALIDARG;
  *length = maxLength_;
  return S_OK;
}

HRESULT CTxtWinHost::TxGetScrollBars(DWORD* scrollBars) {
  if (scrollBars == nullptr) return E_INVALIDARG;
  *scrollBars =
      style_ & (kEditVScrollBar | kEditHScrollBar | kEditAutoVScroll | kEditAutoHScroll | kEditKeepScrollBars);
  return S_OK;
}

HRESULT CTxtWinHost::TxGetPasswordChar(TCHAR* ch) {
  if (ch == nullptr) return E_INVALIDARG;
  *ch = passwordChar_;
  return S_OK;
}

HRESULT CTxtWinHost::TxGetAcceleratorPos(LONG* pos) {
  if (pos == nullptr) return E_INVALIDARG;
  *pos = -1;
  return S_OK;
}

HRESULT CTxtWinHost::TxGetExtent(LPSIZEL /*extent*/) { return E_NOTIMPL; }

HRESULT CTxtWinHost::OnTxCharFormatChange(const CHARFORMATW* /*format*/) { return S_OK; }
HRESULT CTxtWinHost::OnTxParaFormatChange(const PARAFORMAT* /*format*/) { return S_OK; }

HRESULT CTxtWinHost::TxGetPropertyBits(DWORD mask, DWORD* bits) {
  if (bits == nullptr) return E_INVALIDARG;
  *bits = PropertyBits() & mask;
  return S_OK;
}

HRESULT CTxtWinHost::TxNotify(DWORD notify, void* data) {
  if (owner_ == nullptr) return S_OK;
  return owner_->OnTxNotify(notify, data);
}

HIMC CTxtWinHost::TxImmGetContext() {
  HWND window = Window();
  return window != nullptr ? ::ImmGetContext(window) : nullptr;
}

void CTxtWinHost::TxImmReleaseContext(HIMC context) {
  HWND window = Window();
  if (window != nullptr) ::ImmReleaseContext(window, context);
}

HRESULT CTxtWinHost::TxGetSelectionBarWidth(LONG* width) {
  if (width == nullptr) return E_INVALIDARG;
  *width = 0;
  return S_OK;
}

}  // namespace Veneer
