// CTabLayoutUI: a container that shows one of its children at a time over its whole inner rectangle.
// Buttons select a page of it through their bindtablayoutname and bindtabindex attributes.
#pragma once

#include "veneer/container.h"

namespace Veneer {

class CTabLayoutUI : public CContainerUI {
 public:
  const wchar_t* GetClass() const override;
  void* GetInterface(const wchar_t* name) override;

  bool Add(CControlUI* control) override;
  bool AddAt(CControlUI* control, int index) override;
  bool Remove(CControlUI* control) override;
  void RemoveAll() override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;

  [[nodiscard]] int GetCurSel() const { return current_; }
  // Shows the child at index and hides the others; false for an index outside the children.
  bool SelectItem(int index);

 private:
  int current_ = -1;
};

}  // namespace Veneer
