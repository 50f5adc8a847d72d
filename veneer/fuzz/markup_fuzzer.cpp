// Host fuzz harness (libFuzzer) for the skin markup parser: each byte pair is one UTF-16 code unit.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "veneer/markup.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<wchar_t> text(size / 2 + 1, 0);
  for (size_t i = 0; i + 1 < size; i += 2) text[i / 2] = static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
  Veneer::CSkinMarkup doc;
  if (doc.Load(text.data()))
    for (auto node = doc.GetRoot(); node.IsValid(); node = node.GetChild()) node.GetAttributeValue(L"name");
  return 0;
}
