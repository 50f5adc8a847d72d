// CTxtWinHost: the host side of the platform's windowless rich-text engine ("CreateTextServices" of
// Msftedit.dll). The engine asks the host for its device context, rectangle, formats and property bits,
// and reports changes, caret moves, timers and capture through it; the host maps all of that onto the
// owning CRichEditUI, its paint manager and the window.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <richedit.h>
#include <textserv.h>

#include "app/unique_resource.h"

namespace Veneer {

class CRichEditUI;

// The engine's interfaces; no import library of the toolchain defines these identifiers.
extern const IID kIidTextServices;
extern const IID kIidTextHost;

// Edit style bits the host understands (the engine's conventional ES_* / WS_* values).
constexpr DWORD kEditMultiLine = 0x4;
constexpr DWORD kEditPassword = 0x20;
constexpr DWORD kEditAutoVScroll = 0x40;
constexpr DWORD kEditAutoHScroll = 0x80;
constexpr DWORD kEditReadOnly = 0x800;
constexpr DWORD kEditKeepScrollBars = 0x2000;
constexpr DWORD kEditHScrollBar = 0x100000;
constexpr DWORD kEditVScrollBar = 0x200000;
constexpr DWORD kEditAlignMask = 0x3;  // 0 left, 1 centre, 2 right

// Methods of ITextHost use the engine's own calling convention; the toolchain already compiles member
// functions of 32-bit classes that way, so they are implemented directly, without thunks.
class CTxtWinHost final : public ITextHost {
 public:
  CTxtWinHost();
  CTxtWinHost(const CTxtWinHost&) = delete;
  CTxtWinHost& operator=(const CTxtWinHost&) = delete;

  // The field the host serves; set first, so that the formats can be prepared before Init.
  void Attach(CRichEditUI* owner) { owner_ = owner; }
  // Loads the engine and creates the text services with the initial text (the engine reads the formats
  // and property bits while it is created). False when the engine is missing or refuses.
  bool Init(const wchar_t* text);
  // Detaches from the owner and releases the engine (the host goes away with its last reference).
  void Shutdown();
  [[nodiscard]] ITextServices* GetTextServices() const { return services_.Get(); }

  // --- Settings passed on to the engine --------------------------------------------------------------
  void SetClientRect(const RECT& rc);
  [[nodiscard]] const RECT& GetClientRect() const { return client_; }
  void SetFont(HFONT font);
  void SetColor(DWORD argb);
  void SetMaxLength(DWORD length);
  void SetPasswordChar(wchar_t ch);
  void SetStyle(DWORD style);
  [[nodiscard]] DWORD GetStyle() const { return style_; }
  void SetTransparent(bool transparent);
  void SetRichText(bool rich);
  void SetReadOnly(bool readOnly);
  void NotifyExtentChange();
  // Tells the engine that its window gained or lost the native focus.
  void SetActive(bool active);

  [[nodiscard]] bool IsCaptured() const { return captured_; }
  [[nodiscard]] bool IsCaretShown() const { return caretShown_; }
  [[nodiscard]] SIZE GetCaretSize() const { return caretSize_; }
  [[nodiscard]] POINT GetCaretPos() const { return caretPos_; }
  // Shows or hides the window's native caret to match the engine (non-layered windows).
  void SyncNativeCaret();

  // --- IUnknown ---------------------------------------------------------------------------------------
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // --- ITextHost --------------------------------------------------------------------------------------
  HDC TxGetDC() override;
  INT TxReleaseDC(HDC dc) override;
  WINBOOL TxShowScrollBar(INT bar, WINBOOL show) override;
  WINBOOL TxEnableScrollBar(INT flags, INT arrows) override;
  WINBOOL TxSetScrollRange(INT bar, LONG minPos, INT maxPos, WINBOOL redraw) override;
  WINBOOL TxSetScrollPos(INT bar, INT pos, WINBOOL redraw) override;
  void TxInvalidateRect(LPCRECT rc, WINBOOL mode) override;
  void TxViewChange(WINBOOL update) override;
  WINBOOL TxCreateCaret(HBITMAP bitmap, INT width, INT height) override;
  WINBOOL TxShowCaret(WINBOOL show) override;
  WINBOOL TxSetCaretPos(INT x, INT y) override;
  WINBOOL TxSetTimer(UINT id, UINT timeout) override;
  void TxKillTimer(UINT id) override;
  void TxScrollWindowEx(INT dx, INT dy, LPCRECT scroll, LPCRECT clip, HRGN update, LPRECT updateRect,
                        UINT flags) override;
  void TxSetCapture(WINBOOL capture) override;
  void TxSetFocus() override;
  void TxSetCursor(HCURSOR cursor, WINBOOL text) override;
  WINBOOL TxScreenToClient(LPPOINT pt) override;
  WINBOOL TxClientToScreen(LPPOINT pt) override;
  HRESULT TxActivate(LONG* oldState) override;
  HRESULT TxDeactivate(LONG newState) override;
  HRESULT TxGetClientRect(LPRECT rc) override;
  HRESULT TxGetViewInset(LPRECT rc) override;
  HRESULT TxGetCharFormat(const CHARFORMATW** format) override;
  HRESULT TxGetParaFormat(const PARAFORMAT** format) override;
  COLORREF TxGetSysColor(int index) override;
  HRESULT TxGetBackStyle(TXTBACKSTYLE* style) override;
  HRESULT TxGetMaxLength(DWORD* length) override;
  HRESULT TxGetScrollBars(DWORD* scrollBars) override;
  HRESULT TxGetPasswordChar(TCHAR* ch) override;
  HRESULT TxGetAcceleratorPos(LONG* pos) override;
  HRESULT TxGetExtent(LPSIZEL extent) override;
  HRESULT OnTxCharFormatChange(const CHARFORMATW* format) override;
  HRESULT OnTxParaFormatChange(const PARAFORMAT* format) override;
  HRESULT TxGetPropertyBits(DWORD mask, DWORD* bits) override;
  HRESULT TxNotify(DWORD notify, void* data) override;
  HIMC TxImmGetContext() override;
  void TxImmReleaseContext(HIMC context) override;
  HRESULT TxGetSelectionBarWidth(LONG* width) override;

 private:
  // Only Release deletes; the class is final, so the destructor need not be virtual.
  ~CTxtWinHost();
  HWND Window() const;
  void ChangeBits(DWORD bit, bool on);
  void ApplyCharFormat();
  DWORD PropertyBits() const;

  ULONG references_ = 1;
  CRichEditUI* owner_ = nullptr;
  UniqueHmodule engineModule_;
  ComPtr<ITextServices> services_;
  RECT client_{};
  DWORD style_ = 0;
  DWORD maxLength_ = 32767;
  wchar_t passwordChar_ = L'*';
  bool transparent_ = true;
  bool richText_ = true;
  bool readOnly_ = false;
  CHARFORMAT2W charFormat_{};
  PARAFORMAT paraFormat_{};
  bool captured_ = false;
  bool caretShown_ = false;
  bool nativeCaretShown_ = false;
  SIZE caretSize_{};
  POINT caretPos_{};
};

}  // namespace Veneer
