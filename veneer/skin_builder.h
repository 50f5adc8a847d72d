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
  // Limits that no real skin comes near; a skin beyond them builds nothing, like a skin that does not
  // parse. Nesting counts elements and includes together (each level is a stack frame of the builder and
  // of every later walk over the tree); the control count covers every included copy.
  static constexpr uint32_t kMaxNesting = 256;
  static constexpr uint32_t kMaxIncludeNesting = 16;
  static constexpr uint32_t kMaxControls = 100000;

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
  [[nodiscard]] const wchar_t* GetLastErrorMessage() const {
    return limitError_ != nullptr ? limitError_ : markup_.GetLastErrorMessage();
  }
  [[nodiscard]] const wchar_t* GetLastErrorLocation() const { return markup_.GetLastErrorLocation(); }

  // The process-wide table from skin name to file path consulted when loading by name (empty unless a
  // program registers names).
  static void RegisterSkinFile(const std::wstring& name, const std::wstring& path);
  static void ClearSkinFiles();

 private:
  // Shared by a builder and the builders of its included files.
  struct Budget {
    uint32_t controls = 0;
    const wchar_t* exceeded = nullptr;  // what was exceeded, once building stopped
  };

  void RegisterResources(CSkinMarkupNode root, CPaintManagerUI* manager);
  static void ApplyWindowAttributes(CSkinMarkupNode root, CPaintManagerUI* manager);
  CControlUI* Parse(CSkinMarkupNode* parentNode, CControlUI* parent, CPaintManagerUI* manager, bool topLevel,
                    uint32_t nesting);
  void Include(CSkinMarkupNode& node, CControlUI* parent, CPaintManagerUI* manager, uint32_t nesting);
  // Destroys a control the builder made and will not hand out. Its names (and those of its subtree) were
  // entered in the manager's table while it was attached for its attributes: it is attached again so
  // that destroying it takes them out.
  static void Discard(CControlUI* control, CPaintManagerUI* manager);
  bool Exceeded(const wchar_t* what);

  CSkinMarkup markup_;
  IDialogBuilderCallback* callback_ = nullptr;
  const wchar_t* resourceType_ = nullptr;
  std::wstring resourceTypeText_;
  HINSTANCE instance_ = nullptr;
  Budget ownBudget_;
  Budget* budget_ = &ownBudget_;
  uint32_t baseNesting_ = 0;     // levels above this builder's document (its includers')
  uint32_t includeNesting_ = 0;  // includes above this builder's document
  const wchar_t* limitError_ = nullptr;
};

}  // namespace Veneer
