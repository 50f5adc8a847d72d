#include "engine/entry_name.h"

bool IsSafeEntryName(const std::wstring& name) {
  if (name.empty() || name.front() == L'/' || name.front() == L'\\') return false;
  if (name.find(L':') != std::wstring::npos) return false;  // drive letters and alternate streams
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find_first_of(L"/\\", start);
    if (end == std::wstring::npos) end = name.size();
    // Windows drops trailing dots and blanks from a component, so ".. " and "..." climb as ".." does.
    const std::wstring component = name.substr(start, end - start);
    if (component.size() >= 2 && component.compare(0, 2, L"..") == 0 &&
        component.find_first_not_of(L". ") == std::wstring::npos)
      return false;
    start = end + 1;
  }
  return true;
}
