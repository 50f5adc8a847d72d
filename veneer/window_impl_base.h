// WindowImplBase: a borderless skinned top-level window. At WM_CREATE it drops the native caption, attaches
// a paint manager, builds the control tree from the window's skin, and from then on answers the non-client
// messages itself (dragging by the caption area, round corners, maximised size), handles the standard
// system buttons and dispatches control notifications through a notification map.
#pragma once

#include <string>

#include "veneer/name_table.h"
#include "veneer/paint_manager.h"
#include "veneer/skin_builder.h"
#include "veneer/window_wnd.h"

namespace Veneer {

class CNotifyPump;

// --- Notification maps ------------------------------------------------------------------------------
// A map lists (notification type, control name or "" for any, handler) entries and names the map of its
// base class; dispatch walks from the most derived map to the base ones until one has a handler.

using NotifyHandler = void (CNotifyPump::*)(NotifyRecord& msg);
using NotifyParamsHandler = void (CNotifyPump::*)(WPARAM wParam, LPARAM lParam);

// Handler signatures: 0 ends a map, 1 receives wParam and lParam, 2 the whole notification.
constexpr UINT kNotifySignatureEnd = 0;
constexpr UINT kNotifySignatureParams = 1;
constexpr UINT kNotifySignatureRecord = 2;

struct NotifyMapEntry {
  const wchar_t* type;
  const wchar_t* controlName;
  UINT signature;
  NotifyHandler onRecord;
  NotifyParamsHandler onParams;
};

struct NotifyMap {
  const NotifyMap* (*base)();  // null for the root of the chain
  const NotifyMapEntry* entries;
};

// clang-format off
#define VENEER_DECLARE_NOTIFY_MAP()                      \
 public:                                                 \
  static const ::Veneer::NotifyMap* GetThisMessageMap(); \
  const ::Veneer::NotifyMap* GetMessageMap() const override;

#define VENEER_BEGIN_NOTIFY_MAP(theClass)                                                    \
  const ::Veneer::NotifyMap* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
  const ::Veneer::NotifyMap* theClass::GetThisMessageMap() {                                 \
    using ThisClass = theClass;                                                              \
    static const ::Veneer::NotifyMapEntry entries[] = {
#define VENEER_ON_NOTIFY(type, name, handler) \
      {type, name, ::Veneer::kNotifySignatureRecord, static_cast<::Veneer::NotifyHandler>(&ThisClass::handler), nullptr},
#define VENEER_ON_NOTIFY_PARAMS(type, name, handler)      \
      {type, name, ::Veneer::kNotifySignatureParams, nullptr, \
       static_cast<::Veneer::NotifyParamsHandler>(&ThisClass::handler)},
#define VENEER_END_NOTIFY_MAP(baseClass)                                             \
      {nullptr, nullptr, ::Veneer::kNotifySignatureEnd, nullptr, nullptr}};          \
    static const ::Veneer::NotifyMap map = {&baseClass::GetThisMessageMap, entries}; \
    return &map;                                                                     \
  }
// clang-format on

// Receives notifications through its map; may forward those of named virtual windows to other pumps.
class CNotifyPump {
 public:
  CNotifyPump() = default;
  virtual ~CNotifyPump() = default;
  CNotifyPump(const CNotifyPump&) = delete;
  CNotifyPump& operator=(const CNotifyPump&) = delete;

  bool AddVirtualWnd(const std::wstring& name, CNotifyPump* pump);
  bool RemoveVirtualWnd(const std::wstring& name);
  // The virtual window's pump first (names compared ignoring case), then the own map chain.
  void NotifyPump(NotifyRecord& msg);
  // Calls the handler the map chain holds for the notification; false when there is none.
  bool LoopDispatch(NotifyRecord& msg);

  static const NotifyMap* GetThisMessageMap();
  virtual const NotifyMap* GetMessageMap() const;

 private:
  CNameTable<CNotifyPump*> virtualWnds_;
};

// Text a window supplies for controls by name; the installer's windows supply none.
class IQueryControlText {
 public:
  virtual ~IQueryControlText() = default;
  virtual const wchar_t* QueryControlText(const wchar_t* name, const wchar_t* className) = 0;
};

class WindowImplBase : public CWindowWnd,
                       public CNotifyPump,
                       public INotifyUI,
                       public IMessageFilterUI,
                       public IDialogBuilderCallback,
                       public IQueryControlText {
 public:
  WindowImplBase() = default;
  ~WindowImplBase() override;

  CPaintManagerUI& GetPaintManager() { return paintManager_; }

  // Not called by the window base itself; a derived window may use it before it creates the window.
  virtual void OnPrepare() {}
  // Called once the control tree is attached.
  virtual void InitWindow() {}
  // "closebtn" closes with code 1, "minbtn", "maxbtn" and "restorebtn" change the window's state.
  virtual void OnClick(NotifyRecord& msg);
  // True when a press on this control may drag the window: it and all its ancestors are labels, plain
  // controls or layouts.
  virtual bool IsInStaticControl(CControlUI* control);
  virtual std::wstring GetSkinType() { return std::wstring(); }
  // The skin file name, or the decimal resource id when GetSkinType names a resource type.
  virtual std::wstring GetSkinFile() = 0;
  virtual const wchar_t* GetManagerName() { return nullptr; }
  // 1 for Escape, 0 for every other key (Enter included).
  virtual LRESULT ResponseDefaultKeyEvent(WPARAM key);

  virtual LRESULT OnClose(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT OnDestroy(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT OnNcActivate(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT OnNcCalcSize(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT OnNcPaint(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT OnNcHitTest(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT OnGetMinMaxInfo(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT OnMouseWheel(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT OnMouseHover(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT OnSize(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT OnChar(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT OnSysCommand(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT OnCreate(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT OnKeyDown(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT OnKillFocus(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT OnSetFocus(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT OnLButtonDown(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT OnLButtonUp(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT OnMouseMove(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT HandleCustomMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
  // The window's style without WS_CAPTION.
  virtual LONG GetStyle();

  // INotifyUI: the notification map.
  void Notify(NotifyRecord& msg) override;
  // IMessageFilterUI (pre-message filter): Enter and Escape are reported, never consumed.
  LRESULT MessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) override;
  // IDialogBuilderCallback: element names the factory does not know build nothing.
  CControlUI* CreateControl(const wchar_t* className) override;
  const wchar_t* QueryControlText(const wchar_t* name, const wchar_t* className) override;

  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

  VENEER_DECLARE_NOTIFY_MAP()

 protected:
  UINT GetClassStyle() const override;
  void OnFinalMessage(HWND window) override;

  CPaintManagerUI paintManager_;

 private:
  // Shows "maxbtn" and hides "restorebtn", or the reverse.
  void ShowMaximizedButtons(bool maximized);
};

}  // namespace Veneer
