#include "veneer/skin_builder.h"

#include <cwchar>
#include <map>
#include <memory>
#include <vector>

#include "veneer/attribute_text.h"
#include "veneer/container.h"
#include "veneer/control_factory.h"
#include "veneer/render_engine.h"

namespace Veneer {
namespace {

std::map<std::wstring, std::wstring>& SkinFiles() {
  static std::map<std::wstring, std::wstring> files;
  return files;
}

bool IsResourceElement(const wchar_t* name) {
  return EqualsNoCase(name, L"Image") || EqualsNoCase(name, L"Font") || EqualsNoCase(name, L"Default") ||
         EqualsNoCase(name, L"Style") || EqualsNoCase(name, L"Import");
}

const wchar_t* ValueOr(CSkinMarkupNode& node, const wchar_t* name, const wchar_t* fallback) {
  const wchar_t* value = node.GetAttributeValue(name);
  return value != nullptr ? value : fallback;
}

bool BoolAttribute(CSkinMarkupNode& node, const wchar_t* name) {
  const wchar_t* value = node.GetAttributeValue(name);
  return value != nullptr && ParseBool(value);
}

}  // namespace

void CSkinBuilder::RegisterSkinFile(const std::wstring& name, const std::wstring& path) { SkinFiles()[name] = path; }
void CSkinBuilder::ClearSkinFiles() { SkinFiles().clear(); }

// --- Loading -----------------------------------------------------------------------------------------

CControlUI* CSkinBuilder::Create(const wchar_t* skin, const wchar_t* type, IDialogBuilderCallback* callback,
                                 CPaintManagerUI* manager, CControlUI* parent) {
  limitError_ = nullptr;
  if (skin == nullptr) return nullptr;
  if (IS_INTRESOURCE(skin)) {
    // 2. A program resource, read as UTF-8; its type is remembered for included files.
    HINSTANCE module = instance_ != nullptr ? instance_ : CPaintManagerUI::GetResourceDll();
    HRSRC found = ::FindResourceW(module, skin, type);
    if (found == nullptr) return nullptr;
    HGLOBAL loaded = ::LoadResource(module, found);
    const DWORD size = ::SizeofResource(module, found);
    const void* data = loaded != nullptr ? ::LockResource(loaded) : nullptr;
    if (data == nullptr) return nullptr;
    std::vector<uint8_t> bytes(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    if (!markup_.LoadFromMem(bytes.data(), bytes.size(), CSkinMarkup::kUtf8)) return nullptr;
    if (type != nullptr && !IS_INTRESOURCE(type)) {
      resourceTypeText_ = type;
      resourceType_ = resourceTypeText_.c_str();
    } else {
      resourceType_ = type != nullptr ? type : RT_RCDATA;
    }
    callback_ = callback;
  } else {
    // 1. A skin name may stand for a registered file path.
    std::wstring text = skin;
    if (text[0] != L'<') {
      auto it = SkinFiles().find(text);
      if (it != SkinFiles().end()) text = it->second;
    }
    // 3. The markup itself, or 4. a file name.
    const bool loaded =
        text[0] == L'<' ? markup_.Load(text.c_str()) : markup_.LoadFromFile(text.c_str(), CSkinMarkup::kUtf8);
    if (!loaded) return nullptr;
  }
  return Create(callback, manager, parent);
}

// --- Building ----------------------------------------------------------------------------------------

CControlUI* CSkinBuilder::Create(IDialogBuilderCallback* callback, CPaintManagerUI* manager, CControlUI* parent) {
  limitError_ = nullptr;
  // 1. A document with a root.
  callback_ = callback;
  CSkinMarkupNode root = markup_.GetRoot();
  if (!root.IsValid()) return nullptr;
  // 2. Resources first: every font and style exists before the first control asks for it.
  if (manager != nullptr) RegisterResources(root, manager);
  // 3. The window's own settings.
  if (manager != nullptr && manager->GetPaintWindow() != nullptr && EqualsNoCase(root.GetName(), L"Window"))
    ApplyWindowAttributes(root, manager);
  // 4. The controls. A breached limit anywhere, also in an included file, leaves nothing built: what
  //    this build added to a given parent is removed again.
  const bool outermost = budget_ == &ownBudget_;
  if (outermost) ownBudget_ = Budget();
  auto* container = parent != nullptr ? static_cast<IContainerUI*>(parent->GetInterface(L"IContainer")) : nullptr;
  const int existing = container != nullptr ? container->GetCount() : 0;
  CControlUI* result = Parse(&root, parent, manager, true, baseNesting_);
  if (budget_->exceeded == nullptr) return result;
  limitError_ = budget_->exceeded;
  if (!outermost) return result;
  if (parent == nullptr) Discard(result, manager);
  while (container != nullptr && container->GetCount() > existing) {
    // Attached, so that destroying it takes its names out of the manager's table.
    CControlUI* added = container->GetItemAt(container->GetCount() - 1);
    if (manager != nullptr && added->GetManager() == nullptr) added->SetManager(manager, parent, false);
    container->RemoveAt(container->GetCount() - 1);
  }
  return nullptr;
}

bool CSkinBuilder::Exceeded(const wchar_t* what) {
  if (budget_->exceeded == nullptr) budget_->exceeded = what;
  return true;
}

void CSkinBuilder::Discard(CControlUI* control, CPaintManagerUI* manager) {
  if (control == nullptr) return;
  if (manager != nullptr) control->SetManager(manager, nullptr, false);
  delete control;
}

void CSkinBuilder::RegisterResources(CSkinMarkupNode root, CPaintManagerUI* manager) {
  for (CSkinMarkupNode node = root.GetChild(); node.IsValid(); node = node.GetSibling()) {
    const wchar_t* name = node.GetName();
    if (EqualsNoCase(name, L"Image")) {
      const wchar_t* imageName = node.GetAttributeValue(L"name");
      const wchar_t* resourceType = node.GetAttributeValue(L"restype");
      const DWORD mask = ParseColor(ValueOr(node, L"mask", L"0"));
      if (imageName != nullptr)
        manager->AddImage(imageName, resourceType, mask, false, false, BoolAttribute(node, L"shared"));
    } else if (EqualsNoCase(name, L"Font")) {
      const int id = static_cast<int>(ParseLong(ValueOr(node, L"id", L"-1")));
      if (id < 0) continue;  // a font without an id is not registered, not even as the default
      const wchar_t* face = ValueOr(node, L"name", L"");
      const int size = static_cast<int>(ParseLong(ValueOr(node, L"size", L"12")));
      const bool bold = BoolAttribute(node, L"bold");
      const bool underline = BoolAttribute(node, L"underline");
      const bool italic = BoolAttribute(node, L"italic");
      const bool strikeout = BoolAttribute(node, L"strikeout");
      const bool shared = BoolAttribute(node, L"shared");
      manager->AddFont(id, face, size, bold, underline, italic, strikeout, shared);
      if (BoolAttribute(node, L"default"))
        manager->SetDefaultFont(face, size, bold, underline, italic, strikeout, shared);
    } else if (EqualsNoCase(name, L"Default")) {
      const wchar_t* controlName = node.GetAttributeValue(L"name");
      if (controlName != nullptr)
        manager->AddDefaultAttributeList(controlName, ValueOr(node, L"value", L""), BoolAttribute(node, L"shared"));
    } else if (EqualsNoCase(name, L"Style")) {
      const wchar_t* styleName = node.GetAttributeValue(L"name");
      if (styleName != nullptr)
        manager->AddStyle(styleName, ValueOr(node, L"value", L""), BoolAttribute(node, L"shared"));
    } else if (EqualsNoCase(name, L"Import")) {
      const wchar_t* fontFile = node.GetAttributeValue(L"fontfile");
      std::vector<uint8_t> bytes;
      if (fontFile == nullptr || !CRenderEngine::LoadResourceFile(fontFile, bytes) || bytes.empty()) continue;
      manager->AddPrivateFont(bytes.data(), static_cast<DWORD>(bytes.size()));
    }
  }
}

void CSkinBuilder::ApplyWindowAttributes(CSkinMarkupNode root, CPaintManagerUI* manager) {
  const int count = root.AttributeCount();
  for (int i = 0; i < count; ++i) {
    const wchar_t* name = root.AttributeName(i);
    const wchar_t* value = root.AttributeValue(i);
    auto is = [name](const wchar_t* candidate) { return EqualsNoCase(name, candidate); };
    // These five are only recognised in lower case.
    auto exact = [name](const wchar_t* candidate) { return std::wcscmp(name, candidate) == 0; };
    if (is(L"size")) {
      const SIZE size = ParseSize(value);
      manager->SetInitSize(size.cx, size.cy);
    } else if (is(L"sizebox")) {
      manager->SetSizeBox(ParseRect(value));
    } else if (is(L"caption")) {
      manager->SetCaptionRect(ParseRect(value));
    } else if (is(L"roundcorner")) {
      const SIZE size = ParseSize(value);
      manager->SetRoundCorner(size.cx, size.cy);
    } else if (is(L"mininfo")) {
      const SIZE size = ParseSize(value);
      manager->SetMinInfo(size.cx, size.cy);
    } else if (is(L"maxinfo")) {
      const SIZE size = ParseSize(value);
      manager->SetMaxInfo(size.cx, size.cy);
    } else if (is(L"showdirty")) {
      manager->SetShowUpdateRect(ParseBool(value));
    } else if (is(L"opacity") || is(L"alpha")) {
      manager->SetOpacity(static_cast<BYTE>(ParseLong(value) & 0xFF));
    } else if (exact(L"layeredopacity")) {
      manager->SetLayeredOpacity(static_cast<BYTE>(ParseLong(value) & 0xFF));
    } else if (exact(L"layered") || exact(L"bktrans")) {
      manager->SetLayered(ParseBool(value));
    } else if (exact(L"layeredimage")) {
      manager->SetLayeredImage(value);
    } else if (exact(L"noactivate")) {
      manager->SetNoActivate(ParseBool(value));
    } else if (is(L"disabledfontcolor")) {
      manager->SetDefaultDisabledColor(ParseColor(value));
    } else if (is(L"defaultfontcolor")) {
      manager->SetDefaultFontColor(ParseColor(value));
    } else if (is(L"linkfontcolor")) {
      manager->SetDefaultLinkFontColor(ParseColor(value));
    } else if (is(L"linkhoverfontcolor")) {
      manager->SetDefaultLinkHoverFontColor(ParseColor(value));
    } else if (is(L"selectedcolor")) {
      manager->SetDefaultSelectedBkColor(ParseColor(value));
    } else if (is(L"gdiplustext")) {
      manager->SetUseGdiplusText(ParseBool(value));
    } else if (is(L"textrenderinghint")) {
      manager->SetGdiplusTextRenderingHint(static_cast<int>(ParseLong(value)));
    } else if (is(L"tooltiphovertime")) {
      manager->SetHoverTime(static_cast<UINT>(ParseLong(value)));
    }
    // The window shadow's attributes (shadowsize, shadowsharpness, shadowdarkness, shadowposition,
    // shadowcolor, shadowcorner, shadowimage, showshadow) are accepted; no skin of the installer draws
    // a shadow. Everything else is ignored without a message.
  }
}

void CSkinBuilder::Include(CSkinMarkupNode& node, CControlUI* parent, CPaintManagerUI* manager, uint32_t nesting) {
  wchar_t source[500] = {};
  const long count = ParseLong(ValueOr(node, L"count", L"1"));
  if (!node.FindAttribute(L"source", source, 499) || source[0] == 0 || count < 1) return;
  // Each copy makes at least one control, and an include that includes itself never ends.
  if (count > static_cast<long>(kMaxControls)) {
    Exceeded(L"Too many controls");
    return;
  }
  if (includeNesting_ + 1 > kMaxIncludeNesting) {
    Exceeded(L"Includes nested too deeply");
    return;
  }
  for (long i = 0; i < count && budget_->exceeded == nullptr; ++i) {
    CSkinBuilder included;
    included.SetInstance(instance_);
    included.budget_ = budget_;
    included.baseNesting_ = nesting + 1;
    included.includeNesting_ = includeNesting_ + 1;
    CControlUI* first = nullptr;
    if (resourceType_ != nullptr) {
      const WORD id = static_cast<WORD>(ParseLong(source) & 0xFFFF);
      first = included.Create(MAKEINTRESOURCEW(id), resourceType_, callback_, manager, parent);
    } else {
      first = included.Create(source, nullptr, callback_, manager, parent);
    }
    // Without a parent nothing holds the included controls.
    if (parent == nullptr) Discard(first, manager);
  }
}

CControlUI* CSkinBuilder::Parse(CSkinMarkupNode* parentNode, CControlUI* parent, CPaintManagerUI* manager,
                                bool topLevel, uint32_t nesting) {
  CControlUI* result = nullptr;
  if (nesting >= kMaxNesting && Exceeded(L"Elements nested too deeply")) return nullptr;
  for (CSkinMarkupNode node = parentNode->GetChild(); node.IsValid() && budget_->exceeded == nullptr;
       node = node.GetSibling()) {
    const wchar_t* name = node.GetName();
    // 4.1 Resources were handled at the root; at any depth they are skipped.
    if (IsResourceElement(name)) continue;
    // 4.2 Included files add their controls to the current parent.
    if (EqualsNoCase(name, L"Include")) {
      Include(node, parent, manager, nesting);
      continue;
    }
    // 4.3 The factory (exact class names), then the window.
    CControlUI* control = CControlFactory::GetInstance()->CreateControl(L"C" + std::wstring(name) + L"UI");
    if (control == nullptr && callback_ != nullptr) control = callback_->CreateControl(name);
    if (control == nullptr) continue;
    if (++budget_->controls > kMaxControls) {
      Exceeded(L"Too many controls");
      delete control;
      break;
    }

    // 4.4 Children first, so that a control is complete before it meets its own parent and attributes.
    if (node.HasChildren()) Parse(&node, control, manager, false, nesting + 1);

    // 4.5 Into the parent's list.
    if (parent != nullptr) {
      auto* container = static_cast<IContainerUI*>(parent->GetInterface(L"IContainer"));
      if (container == nullptr) {
        Discard(control, manager);
        return nullptr;
      }
      if (!container->Add(control)) {
        Discard(control, manager);
        continue;
      }
    }
    // 4.6 Default attributes of the element name, 4.7 then the element's own, in document order.
    if (manager != nullptr) {
      control->SetManager(manager, nullptr, false);
      if (const wchar_t* defaults = manager->GetDefaultAttributeList(name)) control->ApplyAttributeList(defaults);
    }
    const int count = node.AttributeCount();
    for (int i = 0; i < count; ++i) control->SetAttribute(node.AttributeName(i), node.AttributeValue(i));
    // 4.8 The final attachment happens when the tree is handed to the paint manager. A parent that is
    // already part of a live window keeps its new child attached, or the child would paint without images
    // and fonts.
    if (manager != nullptr) {
      if (parent != nullptr && parent->GetManager() != nullptr) {
        parent->GetManager()->InitControls(control, parent);
      } else {
        control->SetManager(nullptr, nullptr, false);
      }
    }

    // 4.9 The first top-level control is the result.
    if (result == nullptr) {
      result = control;
    } else if (topLevel && parent == nullptr) {
      // A second top-level control has no parent that would own it.
      Discard(control, manager);
    }
  }
  return result;
}

}  // namespace Veneer
