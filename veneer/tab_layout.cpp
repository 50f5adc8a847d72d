#include "veneer/tab_layout.h"

#include <cwchar>

#include "veneer/attribute_text.h"

namespace Veneer {

const wchar_t* CTabLayoutUI::GetClass() const { return L"TabLayoutUI"; }

void* CTabLayoutUI::GetInterface(const wchar_t* name) {
  if (name != nullptr && std::wcscmp(name, L"TabLayout") == 0) return static_cast<CTabLayoutUI*>(this);
  return CContainerUI::GetInterface(name);
}

bool CTabLayoutUI::Add(CControlUI* control) { return AddAt(control, GetCount()); }

bool CTabLayoutUI::AddAt(CControlUI* control, int index) {
  if (!CContainerUI::AddAt(control, index)) return false;
  // The first page shows; pages added later wait hidden until they are selected.
  if (current_ == -1 && control->IsVisible()) {
    current_ = GetItemIndex(control);
  } else {
    if (index <= current_) ++current_;
    control->SetVisible(false);
  }
  return true;
}

bool CTabLayoutUI::Remove(CControlUI* control) {
  const int index = GetItemIndex(control);
  if (!CContainerUI::Remove(control)) return false;
  if (index == current_) {
    current_ = -1;
    if (GetCount() > 0) SelectItem(0);
  } else if (index < current_) {
    --current_;
  }
  return true;
}

void CTabLayoutUI::RemoveAll() {
  current_ = -1;
  CContainerUI::RemoveAll();
}

bool CTabLayoutUI::SelectItem(int index) {
  if (index < 0 || index >= GetCount()) return false;
  current_ = index;
  for (int i = 0; i < GetCount(); ++i) GetItemAt(i)->SetVisible(i == index);
  NeedParentUpdate();
  return true;
}

void CTabLayoutUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (name != nullptr && EqualsNoCase(name, L"selectedid")) {
    SelectItem(static_cast<int>(ParseLong(value)));
  } else {
    CContainerUI::SetAttribute(name, value);
  }
}

}  // namespace Veneer
