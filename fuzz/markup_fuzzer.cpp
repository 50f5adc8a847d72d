// Skin markup parser: load any text, then read every element and attribute through every accessor.
#include <cstdint>
#include <cwchar>

#include "fuzz/fuzz_input.h"
#include "veneer/markup.h"

using Veneer::CSkinMarkupNode;

namespace {

void ReadNode(CSkinMarkupNode& node) {
  std::wcslen(node.GetName());
  std::wcslen(node.GetValue());
  node.HasChildren();
  node.HasAttributes();
  const int count = node.AttributeCount();
  if (count > CSkinMarkupNode::kMaxAttributes) __builtin_trap();
  for (int i = -1; i <= count; ++i) {
    std::wcslen(node.AttributeName(i));
    std::wcslen(node.AttributeValue(i));
  }
  if (count > 0) node.GetAttributeValue(node.AttributeName(count - 1));
  wchar_t buffer[8] = {};
  node.FindAttribute(L"name", buffer, 7);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  const bool preserveWhitespace = (input.Byte() & 1) != 0;
  const std::wstring text = input.RestAsText();
  Veneer::CSkinMarkup doc;
  doc.SetPreserveWhitespace(preserveWhitespace);
  if (!doc.Load(text.c_str())) {
    std::wcslen(doc.GetLastErrorMessage());
    std::wcslen(doc.GetLastErrorLocation());
    return 0;
  }
  // Depth first through child, sibling and parent links; every element is visited once.
  uint32_t visited = 0;
  CSkinMarkupNode node = doc.GetRoot();
  while (node.IsValid()) {
    if (++visited >= doc.ElementCount()) __builtin_trap();  // a link cycle
    ReadNode(node);
    if (node.HasChildren()) {
      node = node.GetChild();
      continue;
    }
    while (node.IsValid() && !node.GetSibling().IsValid()) node = node.GetParent();
    if (node.IsValid()) node = node.GetSibling();
  }
  return 0;
}
