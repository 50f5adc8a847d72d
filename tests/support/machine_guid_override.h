// Changes MachineGuid in the 64-bit registry view for one test and puts the original back. Tests that use
// it hold the machine_registry resource lock.
#pragma once

#include <string>

#include "app/unique_resource.h"

class MachineGuidOverride {
 public:
  MachineGuidOverride();
  MachineGuidOverride(const MachineGuidOverride&) = delete;
  MachineGuidOverride& operator=(const MachineGuidOverride&) = delete;
  ~MachineGuidOverride();

  // The key is open for writing and the original value was read.
  [[nodiscard]] bool Ready() const { return static_cast<bool>(key_) && saved_; }
  void Set(const std::wstring& value);
  void Remove();

 private:
  UniqueHkey key_;
  std::wstring original_;
  bool saved_ = false;
};
