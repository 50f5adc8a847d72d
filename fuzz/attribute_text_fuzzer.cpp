// Attribute values and lists: colours, numbers, number lists, rectangles, sizes, booleans, attribute
// lists and text replacement, all on the same text.
#include <cstdint>

#include "fuzz/fuzz_input.h"
#include "veneer/attribute_text.h"

using namespace Veneer;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  const std::wstring from = input.Text(8);
  const std::wstring to = input.Text(8);
  const std::wstring text = input.RestAsText();
  const wchar_t* t = text.c_str();
  ParseColor(t);
  ParseLong(t);
  long values[4];
  if (ParseLongList(t, values, 4) > 4) __builtin_trap();
  ParseRect(t);
  ParseSize(t);
  ParseBool(text);
  EqualsNoCase(text, from);
  size_t pairs = 0;
  ForEachAttribute(text, [&pairs, &text](const std::wstring& name, const std::wstring& value) {
    if (name.size() + value.size() > text.size()) __builtin_trap();
    ++pairs;
  });
  if (pairs > text.size()) __builtin_trap();
  ReplaceAll(text, from, to);
  return 0;
}
