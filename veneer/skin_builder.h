// CSkinBuilder: turns a parsed skin document into the control tree of one window. Root-level resources
// (images, fonts, default attribute lists, styles, font files) are registered with the window's paint
// manager first, the root `Window` element's attributes set up the manager, and then one control per
// remaining element is made through CControlFactory (or the window's callback) and given its attributes.
#pragma once

#include <windows.h>

#include <string>

#include "veneer/control.h"
#include "veneer/markup.h"

namespace Veneer {

class IDialogBuilderCallback {
 public:
  virtual ~IDialogBuilderCallback() = default;
  // Consulted with the plain element name ("Button") for names the factory does not know.
  virtual CControlUI* CreateControl(const wchar_t* className) = 0;
};

class CSkinBuilder {
 public:
  CSkinBuilder() = default;
  CSkinBuilder(const CSkinBuilder&) = delete;
  CSkinBuilder& operator=(const CSkinBuilder&) = delete;

  // Loads the skin and builds it. `skin` is the markup itself (starting with '<'), a skin name or file
  // name, or an integer resource id (MAKEINTRESOURCE) of resource type `type`. Returns the first control
  // created below the root element, or null; a load failure leaves the markup's error texts readable.
  CControlUI* Create(const wchar_t* skin, const wchar_t* type = nullptr, IDialogBuilderCallback* callback = nullptr,
                     CPaintManagerUI* manager = nullptr, CControlUI* parent = nullptr);
  // Builds from the document already loaded.
  CControlUI* Create(IDialogBuilderCallback* callback = nullptr, CPaintManagerUI* manager = nullptr,
                     CControlUI* parent = nullptr);

  CSkinMarkup* GetMarkup() { return &markup_; }
  void SetInstance(HINSTANCE instance) { instance_ = instance; }
  [[nodiscard]] const wchar_t* GetLastErrorMessage() const { return markup_.GetLastErrorMessage(); }
  [[nodiscard]] const wchar_t* GetLastErrorLocation() const { return markup_.GetLastErrorLocation(); }

  // The process-wide table from skin name to file path consulted when loading by name (empty unless a
  // program registers names).
  static void RegisterSkinFile(const std::wstring& name, const std::wstring& path);
  static void ClearSkinFiles();

 private:
  void RegisterResources(CSkinMarkupNode root, CPaintManagerUI* manager);
  static void ApplyWindowAttributes(CSkinMarkupNode root, CPaintManagerUI* manager);
  CControlUI* Parse(CSkinMarkupNode* parentNode, CControlUI* parent, CPaintManagerUI* manager, bool topLevel);
  void Include(CSkinMarkupNode& node, CControlUI* parent, CPaintManagerUI* manager);

  CSkinMarkup markup_;
  IDialogBuilderCallback* callback_ = nullptr;
  const wchar_t* resourceType_ = nullptr;
  std::wstring resourceTypeText_;
  HINSTANCE instance_ = nullptr;
};

}  // namespace Veneer
