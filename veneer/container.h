// Containers: CContainerUI owns an ordered list of children with an inset, child spacing and alignment;
// CVerticalLayoutUI and CHorizontalLayoutUI stack the visible children along one axis, fixed sizes kept
// and the remaining space shared by the stretch children.
#pragma once

#include <vector>

#include "veneer/control.h"
#include "veneer/layout_math.h"

namespace Veneer {

class IContainerUI {
 public:
  virtual ~IContainerUI() = default;
  virtual CControlUI* GetItemAt(int index) const = 0;
  virtual int GetItemIndex(CControlUI* control) const = 0;
  virtual bool SetItemIndex(CControlUI* control, int index) = 0;
  virtual int GetCount() const = 0;
  virtual bool Add(CControlUI* control) = 0;
  virtual bool AddAt(CControlUI* control, int index) = 0;
  virtual bool Remove(CControlUI* control) = 0;
  virtual bool RemoveAt(int index) = 0;
  virtual void RemoveAll() = 0;
};

class CContainerUI : public CControlUI, public IContainerUI {
 public:
  CContainerUI();
  ~CContainerUI() override;

  const wchar_t* GetClass() const override;
  void* GetInterface(const wchar_t* name) override;

  CControlUI* GetItemAt(int index) const override;
  int GetItemIndex(CControlUI* control) const override;
  bool SetItemIndex(CControlUI* control, int index) override;
  int GetCount() const override;
  bool Add(CControlUI* control) override;
  bool AddAt(CControlUI* control, int index) override;
  bool Remove(CControlUI* control) override;
  bool RemoveAt(int index) override;
  void RemoveAll() override;

  virtual RECT GetInset() const;
  virtual void SetInset(RECT inset);
  virtual int GetChildPadding() const;
  virtual void SetChildPadding(int padding);
  virtual UINT GetChildAlign() const { return childAlign_; }
  virtual void SetChildAlign(UINT align);
  virtual UINT GetChildVAlign() const { return childVAlign_; }
  virtual void SetChildVAlign(UINT align);
  virtual bool IsAutoDestroy() const { return autoDestroy_; }
  virtual void SetAutoDestroy(bool autoDestroy) { autoDestroy_ = autoDestroy; }
  virtual bool IsDelayedDestroy() const { return delayedDestroy_; }
  virtual void SetDelayedDestroy(bool delayed) { delayedDestroy_ = delayed; }
  virtual bool IsMouseChildEnabled() const { return mouseChildren_; }
  virtual void SetMouseChildEnabled(bool enable = true) { mouseChildren_ = enable; }
  virtual int GetScrollStepSize() const { return scrollStep_; }
  virtual void SetFloatPos(int index);
  virtual void ProcessScrollBar(RECT rc, int cxRequired, int cyRequired);

  void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init = true) override;
  void SetVisible(bool visible = true) override;
  void SetInternalVisible(bool visible = true) override;
  void SetEnabled(bool enabled = true) override;
  void SetMouseEnabled(bool enabled = true) override;
  void SetPos(RECT rc, bool needInvalidate = true) override;
  void DoEvent(EventRecord& event) override;
  bool DoPaint(HDC dc, const RECT& paint, CControlUI* stopControl) override;
  CControlUI* FindControl(FindControlProc proc, void* data, UINT flags) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;

  // The item rectangle less the scaled inset (and visible scroll bars, of which there are none here).
  RECT GetInnerRect() const;

 protected:
  // Records for the layout arithmetic: the visible, non-floating children, in order.
  std::vector<CControlUI*> LayoutChildren() const;
  static std::vector<LayoutChild> DescribeChildren(const std::vector<CControlUI*>& children);
  // Places the visible children inside the inner rectangle with one of the linear layout passes, then the
  // floating children, then the scroll bars.
  using LinearLayoutPass = LinearLayoutResult (*)(const RECT&, int, int, int, const std::vector<LayoutChild>&);
  void ArrangeLinear(LinearLayoutPass pass);

  std::vector<CControlUI*> items_;
  RECT inset_{};
  int childPadding_ = 0;
  UINT childAlign_ = 0;
  UINT childVAlign_ = 0;
  bool autoDestroy_ = true;
  bool delayedDestroy_ = true;
  bool mouseChildren_ = true;
  int scrollStep_ = 0;
  bool vScrollBar_ = false;
  bool hScrollBar_ = false;
  std::wstring vScrollBarStyle_;
  std::wstring hScrollBarStyle_;
  bool fixedScrollBar_ = false;
  bool showScrollBar_ = false;
};

class CVerticalLayoutUI : public CContainerUI {
 public:
  const wchar_t* GetClass() const override;
  void* GetInterface(const wchar_t* name) override;
  void SetPos(RECT rc, bool needInvalidate = true) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  int GetSepHeight() const { return Scale(sepHeight_); }
  bool IsSepImmMode() const { return sepImmediate_; }

 private:
  int sepHeight_ = 0;
  bool sepImmediate_ = false;
};

class CHorizontalLayoutUI : public CContainerUI {
 public:
  const wchar_t* GetClass() const override;
  void* GetInterface(const wchar_t* name) override;
  void SetPos(RECT rc, bool needInvalidate = true) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  int GetSepWidth() const { return Scale(sepWidth_); }
  bool IsSepImmMode() const { return sepImmediate_; }

 private:
  int sepWidth_ = 0;
  bool sepImmediate_ = false;
};

}  // namespace Veneer
