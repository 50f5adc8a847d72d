#include "veneer/control_factory.h"

#include "veneer/button.h"
#include "veneer/container.h"
#include "veneer/label.h"
#include "veneer/progress.h"
#include "veneer/rich_edit.h"
#include "veneer/tab_layout.h"

namespace Veneer {
namespace {

template <typename T>
CControlUI* Create() {
  return new T();
}

// Classes whose names the factory answers to but which the installer's skins never use: their elements
// build nothing.
CControlUI* NotBuilt() { return nullptr; }

}  // namespace

CControlFactory* CControlFactory::GetInstance() {
  static CControlFactory factory;  // initialised once, thread-safe
  return &factory;
}

CControlFactory::CControlFactory() {
  const struct {
    const wchar_t* name;
    CreateControlProc create;
  } classes[] = {
      {L"CControlUI", &Create<CControlUI>},
      {L"CContainerUI", &Create<CContainerUI>},
      {L"CButtonUI", &Create<CButtonUI>},
      {L"CComboUI", &NotBuilt},
      {L"CComboBoxUI", &NotBuilt},
      {L"CDateTimeUI", &NotBuilt},
      {L"CEditUI", &NotBuilt},
      {L"CActiveXUI", &NotBuilt},
      {L"CFlashUI", &NotBuilt},
      {L"CGifAnimUI", &NotBuilt},
      {L"CGroupBoxUI", &NotBuilt},
      {L"CIPAddressUI", &NotBuilt},
      {L"CIPAddressExUI", &NotBuilt},
      {L"CLabelUI", &Create<CLabelUI>},
      {L"CListUI", &NotBuilt},
      {L"CListHeaderUI", &NotBuilt},
      {L"CListHeaderItemUI", &NotBuilt},
      {L"CListLabelElementUI", &NotBuilt},
      {L"CListTextElementUI", &NotBuilt},
      {L"CListContainerElementUI", &NotBuilt},
      {L"CMenuUI", &NotBuilt},
      {L"CMenuElementUI", &NotBuilt},
      {L"COptionUI", &NotBuilt},
      {L"CCheckBoxUI", &NotBuilt},
      {L"CProgressUI", &Create<CProgressUI>},
      {L"CRichEditUI", &Create<CRichEditUI>},
      {L"CScrollBarUI", &NotBuilt},
      {L"CSliderUI", &NotBuilt},
      {L"CTextUI", &NotBuilt},
      {L"CTreeNodeUI", &NotBuilt},
      {L"CTreeViewUI", &NotBuilt},
      {L"CWebBrowserUI", &NotBuilt},
      {L"CAnimationTabLayoutUI", &NotBuilt},
      {L"CChildLayoutUI", &NotBuilt},
      {L"CHorizontalLayoutUI", &Create<CHorizontalLayoutUI>},
      {L"CTabLayoutUI", &Create<CTabLayoutUI>},
      {L"CTileLayoutUI", &NotBuilt},
      {L"CVerticalLayoutUI", &Create<CVerticalLayoutUI>},
      {L"CRollTextUI", &NotBuilt},
      {L"CColorPaletteUI", &NotBuilt},
      {L"CListExUI", &NotBuilt},
      {L"CListContainerHeaderItemUI", &NotBuilt},
      {L"CListTextExtElementUI", &NotBuilt},
      {L"CHotKeyUI", &NotBuilt},
      {L"CFadeButtonUI", &NotBuilt},
      {L"CRingUI", &NotBuilt},
      {L"CLoadingUI", &NotBuilt},
      {L"CPageControlUI", &NotBuilt},
  };
  for (const auto& entry : classes) RegisterControl(entry.name, entry.create);

  // Short element names, each registered under "C%sUI" for the class it stands for.
  const struct {
    const wchar_t* alias;
    const wchar_t* target;
  } aliases[] = {
      {L"Box", L"CContainerUI"},    {L"HBox", L"CHorizontalLayoutUI"}, {L"VBox", L"CVerticalLayoutUI"},
      {L"TabBox", L"CTabLayoutUI"}, {L"TileBox", L"CTileLayoutUI"},    {L"ChildBox", L"CChildLayoutUI"},
  };
  for (const auto& entry : aliases) RegisterControl(L"C" + std::wstring(entry.alias) + L"UI", table_[entry.target]);
}

CControlUI* CControlFactory::CreateControl(const std::wstring& className) const {
  auto it = table_.find(className);
  return it != table_.end() && it->second != nullptr ? it->second() : nullptr;
}

void CControlFactory::RegisterControl(const std::wstring& className, CreateControlProc create) {
  table_[className] = create;
}

bool CControlFactory::IsRegistered(const std::wstring& className) const { return table_.count(className) != 0; }

}  // namespace Veneer
