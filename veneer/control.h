// CControlUI: the base of every element in a skin, and the class behind the `Control` element (an
// invisible stretching spacer). It holds the geometry the layouts read, the look every control shares,
// the common flags, the attribute parser subclasses extend, the painting order and the common events.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "veneer/name_table.h"
#include "veneer/paint_manager.h"

namespace Veneer {

class CControlUI;

// Search predicate of FindControl: returns the control it accepts, or null.
using FindControlProc = CControlUI* (*)(CControlUI* control, void* data);

// A list of callbacks; each returns whether processing continues.
template <typename Arg>
class CEventSource {
 public:
  using Callback = std::function<bool(Arg)>;
  void Add(Callback callback) { callbacks_.push_back(std::move(callback)); }
  void Clear() { callbacks_.clear(); }
  [[nodiscard]] bool Empty() const { return callbacks_.empty(); }
  // Runs the callbacks in order until one stops processing; true when all let it through.
  bool operator()(Arg arg) const {
    for (const auto& callback : callbacks_)
      if (!callback(arg)) return false;
    return true;
  }

 private:
  std::vector<Callback> callbacks_;
};

// Float alignment bits.
constexpr unsigned kFloatAlignLeft = 0x0;
constexpr unsigned kFloatAlignCenter = 0x1;
constexpr unsigned kFloatAlignRight = 0x2;
constexpr unsigned kFloatAlignTop = 0x0;
constexpr unsigned kFloatAlignVCenter = 0x4;
constexpr unsigned kFloatAlignBottom = 0x8;

struct TPercentInfo {
  double left = 0;
  double top = 0;
  double right = 0;
  double bottom = 0;
};

class CControlUI {
 public:
  CControlUI();
  CControlUI(const CControlUI&) = delete;
  CControlUI& operator=(const CControlUI&) = delete;
  virtual ~CControlUI();

  CEventSource<CControlUI*> OnDestroy;
  CEventSource<CControlUI*> OnSize;
  CEventSource<CControlUI*> OnInit;
  CEventSource<EventRecord*> OnEvent;
  CEventSource<NotifyRecord*> OnNotify;

  virtual std::wstring GetName() const;
  virtual void SetName(const std::wstring& name);
  virtual const wchar_t* GetClass() const;
  virtual void* GetInterface(const wchar_t* name);
  virtual UINT GetControlFlags() const;
  virtual bool Activate();
  virtual CPaintManagerUI* GetManager() const;
  virtual void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init = true);
  virtual CControlUI* GetParent() const;

  virtual std::wstring GetText() const;
  virtual void SetText(const std::wstring& text);
  virtual bool IsResourceText() const { return resourceText_; }
  virtual void SetResourceText(bool value) { resourceText_ = value; }
  virtual bool IsDragEnabled() const { return dragEnabled_; }
  virtual void SetDragEnabled(bool value) { dragEnabled_ = value; }
  virtual bool IsDropEnabled() const { return dropEnabled_; }
  virtual void SetDropEnabled(bool value) { dropEnabled_ = value; }
  virtual bool IsRichEvent() const { return richEvent_; }
  virtual void SetRichEvent(bool value) { richEvent_ = value; }

  virtual RECT GetRelativePos() const;
  virtual RECT GetClientPos() const;
  virtual const RECT& GetPos() const;
  virtual void SetPos(RECT rc, bool needInvalidate = true);
  virtual void Move(SIZE offset, bool needInvalidate = true);
  virtual int GetWidth() const;
  virtual int GetHeight() const;
  virtual int GetX() const;
  virtual int GetY() const;
  virtual RECT GetPadding() const;
  virtual void SetPadding(RECT padding);
  virtual SIZE GetFixedXY() const;
  virtual void SetFixedXY(SIZE xy);
  virtual SIZE GetFixedSize() const;
  virtual int GetFixedWidth() const;
  virtual void SetFixedWidth(int cx);
  virtual int GetFixedHeight() const;
  virtual void SetFixedHeight(int cy);
  virtual int GetMinWidth() const;
  virtual void SetMinWidth(int cx);
  virtual int GetMaxWidth() const;
  virtual void SetMaxWidth(int cx);
  virtual int GetMinHeight() const;
  virtual void SetMinHeight(int cy);
  virtual int GetMaxHeight() const;
  virtual void SetMaxHeight(int cy);
  virtual TPercentInfo GetFloatPercent() const { return floatPercent_; }
  virtual void SetFloatPercent(TPercentInfo percent);
  virtual void SetFloatAlign(UINT align);
  virtual UINT GetFloatAlign() const { return floatAlign_; }

  virtual std::wstring GetToolTip() const { return toolTip_; }
  // What screen readers announce for the control: the accessible name when one is set, else the text, else
  // the tooltip. Image-only buttons carry their words only here.
  void SetAccessibleName(const std::wstring& name) { accessibleName_ = name; }
  [[nodiscard]] std::wstring GetAccessibleName() const;
  // An accessibility role (MSAA ROLE_SYSTEM_*) for controls whose kind alone says too little, such as a
  // button that works as a check box or a link; 0 lets the control's kind decide.
  void SetAccessibleRole(long role) { accessibleRole_ = role; }
  [[nodiscard]] long GetAccessibleRole() const { return accessibleRole_; }
  // The ticked state announced for a control with the check button role.
  void SetAccessibleChecked(bool checked) { accessibleChecked_ = checked; }
  [[nodiscard]] bool IsAccessibleChecked() const { return accessibleChecked_; }
  virtual void SetToolTip(const std::wstring& text);
  virtual void SetToolTipWidth(int width) { toolTipWidth_ = width; }
  virtual int GetToolTipWidth() const;
  virtual WORD GetCursor() const { return cursor_; }
  virtual void SetCursor(WORD cursor) { cursor_ = cursor; }
  virtual wchar_t GetShortcut() const { return shortcut_; }
  virtual void SetShortcut(wchar_t ch) { shortcut_ = ch; }
  virtual bool IsContextMenuEnabled() const { return menuEnabled_; }
  virtual void SetContextMenuEnabled(bool enabled) { menuEnabled_ = enabled; }
  virtual std::wstring GetUserData() const { return userData_; }
  virtual void SetUserData(const std::wstring& text) { userData_ = text; }
  virtual UINT_PTR GetTag() const { return tag_; }
  virtual void SetTag(UINT_PTR tag) { tag_ = tag; }

  virtual bool IsVisible() const;
  virtual void SetVisible(bool visible = true);
  virtual void SetInternalVisible(bool visible = true);
  virtual bool IsEnabled() const { return enabled_; }
  virtual void SetEnabled(bool enabled = true);
  virtual bool IsMouseEnabled() const { return mouseEnabled_; }
  virtual void SetMouseEnabled(bool enabled = true) { mouseEnabled_ = enabled; }
  virtual bool IsKeyboardEnabled() const { return keyboardEnabled_; }
  virtual void SetKeyboardEnabled(bool enabled = true) { keyboardEnabled_ = enabled; }
  virtual bool IsFocused() const { return focused_; }
  virtual void SetFocus();
  virtual bool IsFloat() const { return float_; }
  virtual void SetFloat(bool isFloat = true);

  virtual CControlUI* FindControl(FindControlProc proc, void* data, UINT flags);

  virtual void Init();
  virtual void DoInit();
  virtual void Event(EventRecord& event);
  virtual void DoEvent(EventRecord& event);
  virtual void SetAttribute(const wchar_t* name, const wchar_t* value);
  virtual SIZE EstimateSize(SIZE available);
  virtual bool Paint(HDC dc, const RECT& paint, CControlUI* stopControl = nullptr);
  virtual bool DoPaint(HDC dc, const RECT& paint, CControlUI* stopControl);
  virtual void PaintBkColor(HDC dc);
  virtual void PaintBkImage(HDC dc);
  virtual void PaintStatusImage(HDC dc);
  virtual void PaintForeColor(HDC dc);
  virtual void PaintForeImage(HDC dc);
  virtual void PaintText(HDC dc);
  virtual void PaintBorder(HDC dc);
  virtual void DoPostPaint(HDC dc, const RECT& paint);

  // Not virtual: the request and look helpers every control shares.
  void Invalidate();
  [[nodiscard]] bool IsUpdateNeeded() const { return updateNeeded_; }
  void NeedUpdate();
  void NeedParentUpdate();
  void ApplyAttributeList(const wchar_t* list);
  bool DrawImage(HDC dc, const std::wstring& descriptor, const wchar_t* modifier = nullptr);

  DWORD GetBkColor() const { return bkColor_; }
  void SetBkColor(DWORD color);
  DWORD GetBkColor2() const { return bkColor2_; }
  void SetBkColor2(DWORD color);
  DWORD GetBkColor3() const { return bkColor3_; }
  void SetBkColor3(DWORD color);
  DWORD GetForeColor() const { return foreColor_; }
  void SetForeColor(DWORD color);
  const std::wstring& GetBkImage() const { return bkImage_; }
  void SetBkImage(const std::wstring& descriptor);
  const std::wstring& GetForeImage() const { return foreImage_; }
  void SetForeImage(const std::wstring& descriptor);
  DWORD GetBorderColor() const { return borderColor_; }
  void SetBorderColor(DWORD color);
  DWORD GetFocusBorderColor() const { return focusBorderColor_; }
  void SetFocusBorderColor(DWORD color);
  bool IsColorHSL() const { return colorHSL_; }
  void SetColorHSL(bool hsl);
  int GetBorderSize() const;
  void SetBorderSize(int size);
  RECT GetBorderSides() const { return borderSides_; }
  void SetBorderSides(RECT sides);
  int GetBorderStyle() const { return borderStyle_; }
  void SetBorderStyle(int style);
  SIZE GetBorderRound() const;
  void SetBorderRound(SIZE round);
  const std::wstring& GetGradient() const { return gradient_; }
  void SetGradient(const std::wstring& text);
  const std::wstring& GetVirtualWnd() const { return virtualWnd_; }
  void SetVirtualWnd(const std::wstring& name) { virtualWnd_ = name; }

  // Attributes no class recognised; they have no effect.
  const wchar_t* GetCustomAttribute(const wchar_t* name);
  void AddCustomAttribute(const wchar_t* name, const wchar_t* value);
  void RemoveAllCustomAttribute() { customAttributes_.Clear(); }

  // The part of the item rectangle being painted (set by Paint).
  [[nodiscard]] const RECT& GetPaintRect() const { return paintRect_; }

 protected:
  int Scale(int value) const;
  SIZE Scale(SIZE size) const;
  RECT Scale(const RECT& rc) const;
  DWORD AdjustColor(DWORD color) const;

  CPaintManagerUI* manager_ = nullptr;
  CControlUI* parent_ = nullptr;
  std::wstring virtualWnd_;
  std::wstring name_;
  bool updateNeeded_ = true;
  RECT item_{};
  RECT padding_{};
  SIZE fixedXY_{};
  SIZE fixedSize_{};
  SIZE minSize_{};
  SIZE maxSize_{9999, 9999};
  bool visible_ = true;
  bool internalVisible_ = true;
  bool enabled_ = true;
  bool mouseEnabled_ = true;
  bool keyboardEnabled_ = true;
  bool focused_ = false;
  bool float_ = false;
  bool setPosGuard_ = false;
  TPercentInfo floatPercent_;
  UINT floatAlign_ = 0;
  bool dragEnabled_ = false;
  bool dropEnabled_ = false;
  bool resourceText_ = false;
  bool richEvent_ = false;
  std::wstring text_;
  std::wstring toolTip_;
  std::wstring accessibleName_;
  long accessibleRole_ = 0;
  bool accessibleChecked_ = false;
  std::wstring userData_;
  UINT_PTR tag_ = 0;
  std::wstring gradient_;
  DWORD bkColor_ = 0;
  DWORD bkColor2_ = 0;
  DWORD bkColor3_ = 0;
  DWORD foreColor_ = 0;
  std::wstring bkImage_;
  std::wstring foreImage_;
  DWORD borderColor_ = 0;
  DWORD focusBorderColor_ = 0;
  bool colorHSL_ = false;
  int borderSize_ = 0;
  int borderStyle_ = PS_SOLID;
  int toolTipWidth_ = 300;
  WORD cursor_ = 0;
  SIZE borderRound_{};
  RECT paintRect_{};
  RECT borderSides_{};
  wchar_t shortcut_ = 0;
  bool menuEnabled_ = false;
  CNameTable<std::wstring> customAttributes_;
};

}  // namespace Veneer
