#include "veneer/markup.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>

namespace Veneer {
namespace {

bool IsWhitespace(wchar_t c) { return c >= 1 && c <= 32; }
bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
// Letters and digits of any script, '_' and ':'; never '-' or '.'.
bool IsNameChar(wchar_t c) {
  if (c == L'_' || c == L':') return true;
  if (IsHighSurrogate(c) || IsLowSurrogate(c)) return false;
  return std::iswalnum(static_cast<wint_t>(c)) != 0;
}
wchar_t AsciiLower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c; }
bool EqualsIgnoringAsciiCase(const wchar_t* a, const wchar_t* b) {
  for (; *a != 0 && *b != 0; ++a, ++b)
    if (AsciiLower(*a) != AsciiLower(*b)) return false;
  return *a == *b;
}
void CopyLimited(wchar_t* target, size_t capacity, const wchar_t* source) {
  size_t i = 0;
  if (source != nullptr)
    for (; i + 1 < capacity && source[i] != 0; ++i) target[i] = source[i];
  target[i] = 0;
}

struct Entity {
  const wchar_t* text;
  uint32_t length;
  wchar_t value;
};
constexpr Entity kEntities[] = {
    {L"&amp;", 5, L'&'}, {L"&lt;", 4, L'<'}, {L"&gt;", 4, L'>'}, {L"&quot;", 6, L'"'}, {L"&apos;", 6, L'\''}};

}  // namespace

// ---------------------------------------------------------------------------------------------------
// Document

CSkinMarkup::~CSkinMarkup() { Release(); }

void CSkinMarkup::Release() {
  std::free(text_);
  std::free(elements_);
  text_ = nullptr;
  elements_ = nullptr;
  elementCount_ = 0;
  elementCapacity_ = 0;
}

CSkinMarkupNode CSkinMarkup::GetRoot() {
  if (text_ == nullptr || elementCount_ < 2) return CSkinMarkupNode();
  return CSkinMarkupNode(this, 1);
}

bool CSkinMarkup::Load(const wchar_t* text) {
  Release();
  if (text == nullptr) return false;
  const size_t length = std::wcslen(text);
  if (length > kMaxTextLength) return Fail(L"File too large", nullptr);
  auto* buffer = static_cast<wchar_t*>(std::malloc((length + 1) * sizeof(wchar_t)));
  if (buffer == nullptr) return false;
  std::memcpy(buffer, text, (length + 1) * sizeof(wchar_t));
  return ParseBuffer(buffer);
}

void CSkinMarkup::SetError(const wchar_t* message, const wchar_t* location) {
  CopyLimited(errorMessage_, sizeof(errorMessage_) / sizeof(wchar_t), message);
  CopyLimited(errorLocation_, sizeof(errorLocation_) / sizeof(wchar_t), location);
}

bool CSkinMarkup::Fail(const wchar_t* message, const wchar_t* location) {
  SetError(message, location);
  return false;
}

bool CSkinMarkup::ParseBuffer(wchar_t* buffer) {
  Release();
  text_ = buffer;
  errorMessage_[0] = 0;
  errorLocation_[0] = 0;
  uint32_t pos = 0;
  ReserveElement();  // record 0 is never a real element
  if (elementCount_ == 0) SetError(L"Out of memory", nullptr);
  if (elementCount_ == 0 || !Parse(pos, 0, 0)) {
    Release();
    return false;
  }
  return true;
}

uint32_t CSkinMarkup::ReserveElement() {
  if (elementCount_ >= elementCapacity_) {
    const uint32_t capacity = elementCapacity_ + elementCapacity_ / 2 + 500;
    auto* grown = static_cast<Element*>(std::realloc(elements_, capacity * sizeof(Element)));
    if (grown == nullptr) return 0;  // the caller refuses the skin; the old array is still owned
    elements_ = grown;
    elementCapacity_ = capacity;
  }
  elements_[elementCount_] = Element{0, 0, 0, 0, 0};
  return elementCount_++;
}

uint32_t CSkinMarkup::NextChar(uint32_t pos) const {
  if (IsHighSurrogate(text_[pos]) && IsLowSurrogate(text_[pos + 1])) return pos + 2;
  return pos + 1;
}

void CSkinMarkup::SkipWhitespace(uint32_t& pos) const {
  while (IsWhitespace(text_[pos])) pos = NextChar(pos);
}

uint32_t CSkinMarkup::DecodeData(uint32_t& pos, wchar_t end) {
  wchar_t* t = text_;
  uint32_t dest = pos;
  while (t[pos] != 0 && t[pos] != end) {
    if (t[pos] == L'&') {
      bool decoded = false;
      for (const Entity& entity : kEntities) {
        if (std::wcsncmp(t + pos, entity.text, entity.length) == 0) {
          t[dest++] = entity.value;
          pos += entity.length;
          decoded = true;
          break;
        }
      }
      if (!decoded) t[dest++] = t[pos++];
    } else if (t[pos] == L' ') {
      t[dest++] = t[pos++];
      if (!preserveWhitespace_) SkipWhitespace(pos);
    } else {
      const uint32_t next = NextChar(pos);
      while (pos < next) t[dest++] = t[pos++];
    }
  }
  // The shortened region is blanked so that attribute mapping can walk over it later.
  for (uint32_t i = dest + 1; i < pos; ++i) t[i] = L' ';
  return dest;
}

bool CSkinMarkup::ParseAttributes(uint32_t& pos) {
  wchar_t* t = text_;
  if ((t[pos] == L'/' && t[pos + 1] == L'>') || t[pos] == L'>') return true;
  t[pos] = 0;
  for (;;) {
    ++pos;
    SkipWhitespace(pos);
    if (t[pos] == 0 || t[pos] == L'>' || t[pos] == L'/') return true;
    while (IsNameChar(t[pos])) pos = NextChar(pos);
    const uint32_t nameEnd = pos;
    SkipWhitespace(pos);
    if (t[pos] != L'=') return Fail(L"Error while parsing attributes", t + pos);
    t[pos] = L' ';
    t[nameEnd] = 0;
    ++pos;
    SkipWhitespace(pos);
    if (t[pos] != L'"') return Fail(L"Expected attribute value", t + pos);
    ++pos;
    const uint32_t valueEnd = DecodeData(pos, L'"');
    if (t[pos] == 0) return Fail(L"Error while parsing attribute string", t + pos);
    t[valueEnd] = 0;
    if (valueEnd != pos) t[pos] = L' ';
  }
}

bool CSkinMarkup::Parse(uint32_t& pos, uint32_t parent, uint32_t depth) {
  wchar_t* t = text_;
  uint32_t previous = 0;
  SkipWhitespace(pos);
  for (;;) {
    if (t[pos] == 0 && parent <= 1) return true;
    SkipWhitespace(pos);
    if (t[pos] != L'<') return Fail(L"Expected start tag", t + pos);
    if (t[pos + 1] == L'/') return true;
    t[pos++] = 0;
    SkipWhitespace(pos);

    // Comments and directives run to the next "->" or "?>".
    if (t[pos] == L'!' || t[pos] == L'?') {
      const wchar_t closer = t[pos] == L'!' ? L'-' : L'?';
      while (t[pos] != 0 && !(t[pos] == closer && t[pos + 1] == L'>')) pos = NextChar(pos);
      if (t[pos] != 0) pos += 2;
      SkipWhitespace(pos);
      continue;
    }

    if (depth >= kMaxDepth) return Fail(L"Elements nested too deeply", t + pos);
    const uint32_t index = ReserveElement();
    if (index == 0) return Fail(L"Out of memory", nullptr);
    elements_[index] = Element{pos, 0, 0, parent, 0};
    if (previous != 0) {
      elements_[previous].next = index;
    } else if (parent != 0) {
      elements_[parent].child = index;
    }
    previous = index;

    const uint32_t nameStart = pos;
    while (IsNameChar(t[pos])) pos = NextChar(pos);
    if (t[pos] == 0) return Fail(L"Error parsing element name", t + nameStart);
    const uint32_t nameEnd = pos;

    if (!ParseAttributes(pos)) return false;

    SkipWhitespace(pos);
    if (t[pos] == L'/' && t[pos + 1] == L'>') {
      elements_[index].data = pos;
      t[pos] = 0;
      pos += 2;
    } else if (t[pos] != L'>') {
      return Fail(L"Expected start-tag closing", t + pos);
    } else {
      ++pos;
      elements_[index].data = pos;
      const uint32_t dataEnd = DecodeData(pos, L'<');
      if (t[pos] == 0 && parent <= 1) {
        // The end of the text closes this element and its open ancestors; names and text still end.
        t[dataEnd] = 0;
        t[nameEnd] = 0;
        return true;
      }
      if (t[pos] != L'<') return Fail(L"Expected end-tag start", t + pos);
      if (t[pos + 1] != L'/') {
        if (!Parse(pos, index, depth + 1)) return false;
      }
      if (t[pos] == L'<' && t[pos + 1] == L'/') {
        t[dataEnd] = 0;
        t[pos] = 0;
        pos += 2;
        SkipWhitespace(pos);
        const uint32_t nameLength = nameEnd - nameStart;
        if (std::wcsncmp(t + pos, t + nameStart, nameLength) != 0) return Fail(L"Unmatched closing tag", t + pos);
        pos += nameLength;
        SkipWhitespace(pos);
        if (t[pos] != L'>') return Fail(L"Unmatched closing tag", t + pos);
        ++pos;
      } else {
        t[dataEnd] = 0;
      }
    }
    t[nameEnd] = 0;
    SkipWhitespace(pos);
  }
}

// ---------------------------------------------------------------------------------------------------
// Node

const wchar_t* CSkinMarkupNode::GetName() const {
  if (owner_ == nullptr) return L"";
  return owner_->text_ + owner_->elements_[index_].start;
}

const wchar_t* CSkinMarkupNode::GetValue() const {
  if (owner_ == nullptr) return L"";
  return owner_->text_ + owner_->elements_[index_].data;
}

CSkinMarkupNode CSkinMarkupNode::GetChild() const {
  if (owner_ == nullptr) return CSkinMarkupNode();
  const uint32_t child = owner_->elements_[index_].child;
  return child == 0 ? CSkinMarkupNode() : CSkinMarkupNode(owner_, child);
}

CSkinMarkupNode CSkinMarkupNode::GetSibling() const {
  if (owner_ == nullptr) return CSkinMarkupNode();
  const uint32_t next = owner_->elements_[index_].next;
  return next == 0 ? CSkinMarkupNode() : CSkinMarkupNode(owner_, next);
}

CSkinMarkupNode CSkinMarkupNode::GetParent() const {
  if (owner_ == nullptr) return CSkinMarkupNode();
  const uint32_t parent = owner_->elements_[index_].parent;
  return parent == 0 ? CSkinMarkupNode() : CSkinMarkupNode(owner_, parent);
}

bool CSkinMarkupNode::HasChildren() const { return owner_ != nullptr && owner_->elements_[index_].child != 0; }

void CSkinMarkupNode::MapAttributes() {
  mapped_ = true;
  attributeCount_ = 0;
  if (owner_ == nullptr) return;
  const wchar_t* t = owner_->text_;
  const auto& element = owner_->elements_[index_];
  const uint32_t end = element.data;
  // Every step stays below the data position: junk between a name and its '>' (overwritten by the
  // parser) must not lead the walk past the region, or past the end of the buffer.
  uint32_t pos = element.start;
  while (pos < end && t[pos] != 0) ++pos;
  ++pos;
  while (pos < end) {
    while (pos < end && IsWhitespace(t[pos])) ++pos;
    const uint32_t name = pos;
    while (pos < end && t[pos] != 0) ++pos;
    ++pos;
    while (pos < end && IsWhitespace(t[pos])) ++pos;
    if (pos >= end || t[pos] != L'"') return;
    ++pos;
    attributes_[attributeCount_++] = AttributePosition{name, pos};
    if (attributeCount_ >= kMaxAttributes) return;
    while (pos < end && t[pos] != 0) ++pos;
    ++pos;
  }
}

bool CSkinMarkupNode::HasAttributes() { return AttributeCount() > 0; }

int CSkinMarkupNode::AttributeCount() {
  if (!mapped_) MapAttributes();
  return attributeCount_;
}

const wchar_t* CSkinMarkupNode::AttributeName(int index) {
  if (owner_ == nullptr) return nullptr;
  if (index < 0 || index >= AttributeCount()) return L"";
  return owner_->text_ + attributes_[index].name;
}

const wchar_t* CSkinMarkupNode::AttributeValue(int index) {
  if (owner_ == nullptr) return nullptr;
  if (index < 0 || index >= AttributeCount()) return L"";
  return owner_->text_ + attributes_[index].value;
}

const wchar_t* CSkinMarkupNode::GetAttributeValue(const wchar_t* name) {
  if (owner_ == nullptr || name == nullptr) return nullptr;
  const int count = AttributeCount();
  for (int i = 0; i < count; ++i)
    if (EqualsIgnoringAsciiCase(owner_->text_ + attributes_[i].name, name)) return owner_->text_ + attributes_[i].value;
  return nullptr;
}

bool CSkinMarkupNode::FindAttribute(const wchar_t* name, wchar_t* buffer, size_t maxChars) {
  const wchar_t* value = GetAttributeValue(name);
  if (value == nullptr) return false;
  size_t i = 0;
  for (; i < maxChars && value[i] != 0; ++i) buffer[i] = value[i];
  if (i < maxChars) buffer[i] = 0;
  return true;
}

}  // namespace Veneer
