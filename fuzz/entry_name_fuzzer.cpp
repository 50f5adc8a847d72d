// The extractor's check of archive entry names. A name it accepts must stay below the target folder
// however Windows resolves it: "/" and "\" separate components, trailing dots and blanks are dropped from
// a component, "." stays and ".." climbs, and a colon names a drive or a stream.
#include <cstdint>
#include <string>

#include "engine/entry_name.h"
#include "fuzz/fuzz_input.h"

namespace {

bool StaysBelowTarget(const std::wstring& name) {
  if (name.empty() || name[0] == L'/' || name[0] == L'\\' || name.find(L':') != std::wstring::npos) return false;
  long depth = 0;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find_first_of(L"/\\", start);
    if (end == std::wstring::npos) end = name.size();
    std::wstring component = name.substr(start, end - start);
    while (!component.empty() && (component.back() == L'.' || component.back() == L' ')) component.pop_back();
    const std::wstring original = name.substr(start, end - start);
    if (original.size() >= 2 && component.empty() && original.find(L"..") == 0) {
      if (--depth < 0) return false;  // ".." with trailing dots or blanks still climbs
    } else if (original == L"..") {
      if (--depth < 0) return false;
    } else if (!component.empty()) {
      ++depth;
    }
    start = end + 1;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  const std::wstring name = input.RestAsText();
  if (IsSafeEntryName(name) && !StaysBelowTarget(name)) __builtin_trap();
  return 0;
}
