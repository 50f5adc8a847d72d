// CControlFactory: the process-wide table from class name ("CButtonUI") to the function that creates a
// control of that class. The skin builder turns every element name into "C" + name + "UI" and asks here.
#pragma once

#include <map>
#include <string>

#include "veneer/control.h"

namespace Veneer {

using CreateControlProc = CControlUI* (*)();

class CControlFactory {
 public:
  // Created on first use, once per process, safely from any thread.
  static CControlFactory* GetInstance();

  CControlFactory(const CControlFactory&) = delete;
  CControlFactory& operator=(const CControlFactory&) = delete;

  // A new control of the class, or null for a name that is not registered (names compare exactly) or
  // for a registered class the toolkit does not build.
  CControlUI* CreateControl(const std::wstring& className) const;
  void RegisterControl(const std::wstring& className, CreateControlProc create);
  [[nodiscard]] bool IsRegistered(const std::wstring& className) const;
  [[nodiscard]] size_t Count() const { return table_.size(); }

 private:
  CControlFactory();
  std::map<std::wstring, CreateControlProc> table_;
};

}  // namespace Veneer
