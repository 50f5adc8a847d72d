// CPaintManagerUI: the per-window heart of the toolkit. It owns the root of the control tree, turns
// window messages into control events, paints the tree through an off-screen 32-bit bitmap (and composes
// per-pixel-alpha windows), and keeps the window's resource tables, named controls, timers and focus.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/unique_resource.h"
#include "veneer/dpi.h"
#include "veneer/draw_info.h"
#include "veneer/name_table.h"
#include "veneer/zip_reader.h"

namespace Gdiplus {
class Bitmap;
}

namespace Veneer {

class CControlUI;
class CPaintManagerUI;
class CWindowAccessible;

// Event numbers exchanged between the manager and the controls.
namespace UiEvent {
enum : int {
  KeyDown = 3,
  KeyUp = 4,
  Char = 5,
  SysKey = 6,
  MouseMove = 9,
  MouseLeave = 10,
  MouseEnter = 11,
  MouseHover = 12,
  ButtonDown = 13,
  ButtonUp = 14,
  RButtonDown = 15,
  RButtonUp = 16,
  MButtonDown = 17,
  MButtonUp = 18,
  DblClick = 19,
  ContextMenu = 20,
  ScrollWheel = 21,
  KillFocus = 23,
  SetFocus = 24,
  WindowSize = 25,
  SetCursor = 26,
  Timer = 27,
};
}  // namespace UiEvent

// Flags of FindControl searches.
constexpr unsigned kFindVisible = 0x1;
constexpr unsigned kFindEnabled = 0x2;
constexpr unsigned kFindHitTest = 0x4;
constexpr unsigned kFindUpdateTest = 0x8;
constexpr unsigned kFindTopFirst = 0x10;
constexpr unsigned kFindMeFirst = 0x80000000;

// Control flags answered by GetControlFlags.
constexpr unsigned kControlFlagTabStop = 0x1;
constexpr unsigned kControlFlagSetCursor = 0x2;

// The keyboard focus outline: premultiplied, opaque 32-bit pixels.
constexpr uint32_t kFocusMarkOuterColor = 0xFFFFFFFFu;
constexpr uint32_t kFocusMarkInnerColor = 0xFF1F2A44u;

// Private window messages.
constexpr UINT kMsgAsyncNotify = 0x8001;
// A control's default action asked for by a screen reader, carried out from the window's own queue.
constexpr UINT kMsgAccessibleAction = 0x8002;
constexpr UINT kMsgDpiChanged = 0x0402;

struct EventRecord {
  int type = 0;
  CControlUI* sender = nullptr;
  DWORD timestamp = 0;
  POINT mouse{};
  wchar_t key = 0;
  WORD keyState = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

struct NotifyRecord {
  std::wstring type;
  std::wstring virtualWnd;
  CControlUI* sender = nullptr;
  DWORD timestamp = 0;
  POINT mouse{};
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

class INotifyUI {
 public:
  virtual ~INotifyUI() = default;
  virtual void Notify(NotifyRecord& msg) = 0;
};

class IMessageFilterUI {
 public:
  virtual ~IMessageFilterUI() = default;
  virtual LRESULT MessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) = 0;
};

class ITranslateAccelerator {
 public:
  virtual ~ITranslateAccelerator() = default;
  // Returns 0 when the message was consumed.
  virtual LRESULT TranslateAccelerator(MSG* msg) = 0;
};

struct TFontInfo {
  UniqueHfont font;
  std::wstring faceName;
  int size = 0;  // unscaled
  bool bold = false;
  bool underline = false;
  bool italic = false;
  bool strikeout = false;
  TEXTMETRICW metrics{};
};

// One decoded image: a 32-bit premultiplied top-down DIB section and, on request, a GDI+ bitmap that
// shares its pixels.
struct TImageInfo {
  TImageInfo();
  ~TImageInfo();
  TImageInfo(const TImageInfo&) = delete;
  TImageInfo& operator=(const TImageInfo&) = delete;

  std::unique_ptr<Gdiplus::Bitmap> gdiplusImage;
  UniqueHbitmap bitmap;
  uint32_t* bits = nullptr;
  std::vector<uint32_t> colorCopy;  // pixels kept for colour adjustment, only on request
  int width = 0;
  int height = 0;
  bool alpha = false;
  bool useHSL = false;
  std::wstring resourceType;
  uint32_t mask = 0;

  // Scaled copies produced by GDI+ for one source part and destination size, so that a repeated paint
  // is a 1:1 blend instead of another high-quality resampling.
  struct ScaledCopy {
    RECT source;
    SIZE size;
    UniqueHbitmap bitmap;
    bool opaque;           // every pixel has alpha 255
    const uint32_t* bits;  // the bitmap's pixels, size.cx per row
  };
  std::vector<ScaledCopy> scaledCopies;
};

struct TimerRecord {
  CControlUI* control;
  UINT localId;
  HWND window;
  UINT nativeId;
  bool killed;
};

// The skin archive for the reads of one file: the cached handle when the archive is cached, otherwise
// the archive opened here and closed when this ends. Get() is null when it cannot be opened.
class CResourceZipScope {
 public:
  CResourceZipScope();
  ~CResourceZipScope();
  CResourceZipScope(const CResourceZipScope&) = delete;
  CResourceZipScope& operator=(const CResourceZipScope&) = delete;
  HZIP Get() const { return zip_; }

 private:
  HZIP zip_ = nullptr;
  bool owned_ = false;
};

class CPaintManagerUI {
 public:
  CPaintManagerUI();
  CPaintManagerUI(const CPaintManagerUI&) = delete;
  CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;
  ~CPaintManagerUI();

  void Init(HWND window, const wchar_t* name = nullptr);
  [[nodiscard]] HWND GetPaintWindow() const { return window_; }
  [[nodiscard]] HDC GetPaintDC() const { return windowDc_; }
  [[nodiscard]] const std::wstring& GetName() const { return name_; }
  POINT GetMousePos() const { return lastMouse_; }
  SIZE GetClientSize() const;

  // --- Process-wide resource settings -------------------------------------------------------------
  static void SetInstance(HINSTANCE instance);
  static HINSTANCE GetInstance();
  static void SetResourceDll(HINSTANCE module);
  static HINSTANCE GetResourceDll();
  static void SetResourcePath(const wchar_t* path);
  static const std::wstring& GetResourcePath();
  static void SetResourceZip(const wchar_t* name, bool cached = false, const char* password = nullptr);
  // The archive read where it lies in memory (a resource of the program): nothing is copied or written
  // to disk. The bytes must stay valid and unchanged for as long as skin files or images may be loaded.
  static void SetResourceZip(const void* bytes, size_t size);
  static const std::wstring& GetResourceZip();
  // True when skin files are read from an archive (a file or memory) rather than the resource folder.
  static bool HasResourceZip();
  static std::vector<CPaintManagerUI*>& GetManagers();

  // --- Control tree --------------------------------------------------------------------------------
  bool AttachDialog(CControlUI* root);
  bool InitControls(CControlUI* control, CControlUI* parent = nullptr);
  // Forgets every reference to a control that is being destroyed.
  void ReapObjects(CControlUI* control);
  void AddDelayedCleanup(CControlUI* control);
  [[nodiscard]] CControlUI* GetRoot() const { return root_; }
  CControlUI* FindControl(POINT pt) const;
  CControlUI* FindControl(const wchar_t* name);
  bool RenameControl(CControlUI* control, const wchar_t* oldName, const wchar_t* newName);

  // --- Notifications and filters -------------------------------------------------------------------
  bool AddNotifier(INotifyUI* notifier);
  bool RemoveNotifier(INotifyUI* notifier);
  void SendNotify(NotifyRecord& msg, bool async = false);
  void SendNotify(CControlUI* control, const wchar_t* type, WPARAM wParam = 0, LPARAM lParam = 0, bool async = false);
  bool AddPreMessageFilter(IMessageFilterUI* filter);
  bool RemovePreMessageFilter(IMessageFilterUI* filter);
  bool AddMessageFilter(IMessageFilterUI* filter);
  bool RemoveMessageFilter(IMessageFilterUI* filter);
  bool AddTranslateAccelerator(ITranslateAccelerator* translator);
  bool RemoveTranslateAccelerator(ITranslateAccelerator* translator);
  bool AddPostPaint(CControlUI* control);
  bool RemovePostPaint(CControlUI* control);
  bool AddNativeWindow(CControlUI* control, HWND window);
  bool RemoveNativeWindow(HWND window);

  // --- Timers --------------------------------------------------------------------------------------
  bool SetTimer(CControlUI* control, UINT timerId, UINT elapse);
  bool KillTimer(CControlUI* control, UINT timerId);
  void KillTimer(CControlUI* control);
  void RemoveAllTimers();
  [[nodiscard]] const std::vector<TimerRecord>& GetTimers() const { return timers_; }

  // --- Focus and capture ---------------------------------------------------------------------------
  [[nodiscard]] CControlUI* GetFocus() const { return focus_; }
  void SetFocus(CControlUI* control);
  void SetFocusNeeded(CControlUI* control);
  bool SetNextTabControl(bool forward = true);
  void SetCapture();
  void ReleaseCapture();
  [[nodiscard]] bool IsCaptured() const { return mouseCaptured_; }
  [[nodiscard]] CControlUI* GetHover() const { return hover_; }
  // The focused control is outlined while the keyboard moves the focus (Tab), as Windows shows focus
  // rectangles only to keyboard users; a mouse press hides the outline again.
  [[nodiscard]] bool IsFocusMarkShown() const { return focusMarkShown_; }
  void ShowFocusMark(bool show);
  // Where the outline of a focused control lies: around its position, a little outside.
  RECT GetFocusMarkRect(CControlUI* control);

  // --- Accessibility -------------------------------------------------------------------------------
  // Queues a click of the control on the window's thread; false when the window cannot take it.
  bool PostAccessibleAction(CControlUI* control);
  [[nodiscard]] CControlUI* GetPressed() const { return pressed_; }

  // --- Invalidation and painting ---------------------------------------------------------------------
  void Invalidate();
  void Invalidate(const RECT& rc);
  void NeedUpdate() { updateNeeded_ = true; }
  [[nodiscard]] bool IsUpdateNeeded() const { return updateNeeded_; }
  [[nodiscard]] bool IsPainting() const { return painting_; }
  // The off-screen 32-bit pixels (top-down, client size), null before the first off-screen paint.
  [[nodiscard]] const uint32_t* GetOffscreenBits() const { return offscreenBits_; }
  [[nodiscard]] HDC GetOffscreenDC() const { return offscreenDc_.Get(); }

  // --- Window settings -------------------------------------------------------------------------------
  SIZE GetInitSize();
  void SetInitSize(int cx, int cy);
  RECT GetSizeBox();
  void SetSizeBox(const RECT& rc) { sizeBox_ = rc; }
  RECT GetCaptionRect();
  void SetCaptionRect(const RECT& rc) { caption_ = rc; }
  SIZE GetRoundCorner();
  void SetRoundCorner(int cx, int cy) { roundCorner_ = MakeSize(cx, cy); }
  SIZE GetMinInfo() const { return minInfo_; }
  void SetMinInfo(int cx, int cy) { minInfo_ = MakeSize(cx, cy); }
  SIZE GetMaxInfo() const { return maxInfo_; }
  void SetMaxInfo(int cx, int cy) { maxInfo_ = MakeSize(cx, cy); }
  bool IsShowUpdateRect() const { return showUpdateRect_; }
  void SetShowUpdateRect(bool show) { showUpdateRect_ = show; }
  bool IsNoActivate() const { return noActivate_; }
  void SetNoActivate(bool noActivate) { noActivate_ = noActivate; }
  BYTE GetOpacity() const { return opacity_; }
  void SetOpacity(BYTE opacity);
  bool IsLayered() const { return layered_; }
  void SetLayered(bool layered);
  RECT GetLayeredInset() const { return layeredInset_; }
  void SetLayeredInset(const RECT& inset);
  BYTE GetLayeredOpacity() const { return layeredOpacity_; }
  void SetLayeredOpacity(BYTE opacity);
  const std::wstring& GetLayeredImage() const { return layeredImage_.descriptor; }
  void SetLayeredImage(const wchar_t* descriptor);
  UINT GetHoverTime() const { return hoverTime_; }
  void SetHoverTime(UINT ms) { hoverTime_ = ms; }
  bool IsUseGdiplusText() const { return useGdiplusText_; }
  void SetUseGdiplusText(bool use) { useGdiplusText_ = use; }
  int GetGdiplusTextRenderingHint() const { return gdiplusTextHint_; }
  void SetGdiplusTextRenderingHint(int hint) { gdiplusTextHint_ = hint; }
  bool IsForceUseSharedRes() const { return forceSharedResources_; }
  void SetForceUseSharedRes(bool force) { forceSharedResources_ = force; }

  DWORD GetDefaultDisabledColor() const { return disabledColor_; }
  void SetDefaultDisabledColor(DWORD color) { disabledColor_ = color; }
  DWORD GetDefaultFontColor() const { return fontColor_; }
  void SetDefaultFontColor(DWORD color) { fontColor_ = color; }
  DWORD GetDefaultLinkFontColor() const { return linkColor_; }
  void SetDefaultLinkFontColor(DWORD color) { linkColor_ = color; }
  DWORD GetDefaultLinkHoverFontColor() const { return linkHoverColor_; }
  void SetDefaultLinkHoverFontColor(DWORD color) { linkHoverColor_ = color; }
  DWORD GetDefaultSelectedBkColor() const { return selectedColor_; }
  void SetDefaultSelectedBkColor(DWORD color) { selectedColor_ = color; }

  // --- DPI ---------------------------------------------------------------------------------------------
  CDPI* GetDPIObj();
  void SetDPI(int dpi);
  // DPI of the monitor holding a screen point (96 when it cannot be read).
  static int GetMonitorDpi(POINT screenPoint);
  static int GetMonitorDpi(HMONITOR monitor);
  int ScaleValue(int value) { return GetDPIObj()->Scale(value); }

  // --- Fonts -------------------------------------------------------------------------------------------
  HFONT AddFont(int id, const wchar_t* face, int size, bool bold, bool underline, bool italic, bool strikeout,
                bool shared = false);
  HFONT GetFont(int id);
  TFontInfo* GetFontInfo(int id);
  TFontInfo* GetFontInfo(HFONT font);
  void SetDefaultFont(const wchar_t* face, int size, bool bold, bool underline, bool italic, bool strikeout,
                      bool shared = false);
  TFontInfo* GetDefaultFontInfo();
  void RemoveAllFonts();
  // Registers font file bytes (a skin's Import element) as a private font of the process until this
  // manager is destroyed.
  bool AddPrivateFont(const void* bytes, DWORD size);

  // --- Images, styles, default attribute lists ---------------------------------------------------
  const TImageInfo* GetImage(const wchar_t* name);
  const TImageInfo* GetImageEx(const wchar_t* name, const wchar_t* type = nullptr, DWORD mask = 0, bool useHSL = false,
                               bool gdiplus = false, HINSTANCE module = nullptr);
  const TImageInfo* AddImage(const wchar_t* name, const wchar_t* type = nullptr, DWORD mask = 0, bool useHSL = false,
                             bool gdiplus = false, bool shared = false, HINSTANCE module = nullptr);
  void RemoveAllImages();
  const TDrawInfo* GetDrawInfo(const wchar_t* descriptor, const wchar_t* modifier);
  void AddDefaultAttributeList(const wchar_t* controlName, const wchar_t* list, bool shared = false);
  const wchar_t* GetDefaultAttributeList(const wchar_t* controlName);
  void AddStyle(const wchar_t* name, const wchar_t* list, bool shared = false);
  const wchar_t* GetStyle(const wchar_t* name);

  // --- Messages ----------------------------------------------------------------------------------------
  bool MessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
  bool PreMessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
  static bool TranslateMessage(const MSG* msg);
  static void MessageLoop();

 private:
  void OnPaint();
  void PaintFocusMark(const RECT& painted);
  // WM_GETOBJECT: the window's accessible object for OBJID_CLIENT.
  LRESULT AnswerGetObject(WPARAM wParam, LPARAM lParam);
  void DisconnectAccessible();
  void RunAccessibleAction(CControlUI* control);
  void PaintLayeredContent(const RECT& update, const RECT& client);
  void CopyNativeWindows(HDC memory, const RECT& update);
  void LayoutRoot(const RECT& client);
  bool TranslateAccelerator(MSG* msg);
  void SendEvent(CControlUI* control, int type, WPARAM wParam = 0, LPARAM lParam = 0, wchar_t key = 0);
  void DeliverAsyncNotifications();
  void ResetFonts();
  HFONT CreateFontFor(const TFontInfo& info, bool addWeightToDefault) const;

  HWND window_ = nullptr;
  HDC windowDc_ = nullptr;
  std::wstring name_;
  UniqueHdc offscreenDc_;
  UniqueHbitmap offscreenBitmap_;
  HGDIOBJ offscreenOldBitmap_ = nullptr;
  uint32_t* offscreenBits_ = nullptr;
  SIZE offscreenSize_{};
  UniqueHdc backgroundDc_;
  UniqueHbitmap backgroundBitmap_;
  HGDIOBJ backgroundOldBitmap_ = nullptr;
  uint32_t* backgroundBits_ = nullptr;
  SIZE backgroundSize_{};  // the client size the background was drawn for
  HWND tooltip_ = nullptr;
  TOOLINFOW toolInfo_{};
  bool tooltipShown_ = false;
  UINT hoverTime_ = 400;
  bool noActivate_ = false;
  bool showUpdateRect_ = false;

  CControlUI* root_ = nullptr;
  CControlUI* focus_ = nullptr;
  CControlUI* hover_ = nullptr;
  CControlUI* pressed_ = nullptr;
  CControlUI* rightPressed_ = nullptr;
  CControlUI* keyTarget_ = nullptr;
  POINT lastMouse_{-1, -1};
  bool focusMarkShown_ = false;
  ComPtr<CWindowAccessible> accessible_;
  bool windowDestroyed_ = false;

  SIZE minInfo_{};
  SIZE maxInfo_{};
  SIZE initSize_{};
  RECT sizeBox_{};
  RECT caption_{};
  SIZE roundCorner_{};
  UINT lastTimerId_ = 0x1000;

  bool firstLayout_ = true;
  bool updateNeeded_ = false;
  bool focusNeeded_ = false;
  bool offscreenPaint_ = true;
  BYTE opacity_ = 255;
  bool layered_ = false;
  RECT layeredInset_{};
  bool layeredChanged_ = false;
  RECT layeredUpdate_{};
  BYTE layeredOpacity_ = 255;
  TDrawInfo layeredImage_;
  bool mouseTracking_ = false;
  bool mouseCaptured_ = false;
  bool painting_ = false;
  bool asyncNotifyPosted_ = false;

  std::vector<INotifyUI*> notifiers_;
  std::vector<TimerRecord> timers_;
  std::vector<ITranslateAccelerator*> translators_;
  std::vector<IMessageFilterUI*> preMessageFilters_;
  std::vector<IMessageFilterUI*> messageFilters_;
  std::vector<CControlUI*> postPaintControls_;
  std::vector<std::pair<CControlUI*, HWND>> nativeWindows_;
  std::vector<CControlUI*> delayedCleanup_;
  std::vector<std::unique_ptr<NotifyRecord>> asyncNotify_;
  std::vector<HANDLE> privateFonts_;

  CNameTable<CControlUI*> namedControls_;
  CNameTable<std::wstring> defaultAttributes_;
  CNameTable<std::wstring> styles_;
  CNameTable<std::unique_ptr<TFontInfo>> fonts_;
  CNameTable<std::unique_ptr<TImageInfo>> images_;
  CNameTable<std::unique_ptr<TDrawInfo>> drawInfos_;
  bool forceSharedResources_ = false;

  DWORD disabledColor_;
  DWORD fontColor_;
  DWORD linkColor_;
  DWORD linkHoverColor_;
  DWORD selectedColor_;
  TFontInfo defaultFont_;
  bool useGdiplusText_ = false;
  int gdiplusTextHint_ = 0;
  std::unique_ptr<CDPI> dpi_;
  ULONG_PTR gdiplusToken_ = 0;
};

}  // namespace Veneer
