// Skin markup: a small XML dialect parsed in place. The whole document is one UTF-16 buffer; parsing
// writes terminators and decoded characters into it, so names and values afterwards are plain
// zero-terminated strings inside the buffer. Elements are small index records in one growing array.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Veneer {

class CSkinMarkup;

class CSkinMarkupNode {
 public:
  static constexpr int kMaxAttributes = 64;

  CSkinMarkupNode() = default;
  CSkinMarkupNode(CSkinMarkup* owner, uint32_t index) : owner_(owner), index_(index) {}

  [[nodiscard]] bool IsValid() const { return owner_ != nullptr; }
  [[nodiscard]] const wchar_t* GetName() const;
  [[nodiscard]] CSkinMarkupNode GetChild() const;
  [[nodiscard]] CSkinMarkupNode GetSibling() const;
  [[nodiscard]] CSkinMarkupNode GetParent() const;
  [[nodiscard]] bool HasChildren() const;
  // The element's decoded text content.
  [[nodiscard]] const wchar_t* GetValue() const;

  // Attributes are located on the first query and at most 64 are visible.
  bool HasAttributes();
  int AttributeCount();
  // Empty text for an index out of range; null for an invalid node.
  const wchar_t* AttributeName(int index);
  const wchar_t* AttributeValue(int index);
  // Copies at most maxChars characters of the first attribute named name (ASCII case ignored) into
  // buffer, without terminating it when the value is that long; callers zero their buffer first.
  bool FindAttribute(const wchar_t* name, wchar_t* buffer, size_t maxChars);
  // The value of the first attribute named name (ASCII case ignored), or null.
  const wchar_t* GetAttributeValue(const wchar_t* name);

 private:
  void MapAttributes();

  struct AttributePosition {
    uint32_t name;
    uint32_t value;
  };
  CSkinMarkup* owner_ = nullptr;
  uint32_t index_ = 0;
  int attributeCount_ = 0;
  bool mapped_ = false;
  AttributePosition attributes_[kMaxAttributes] = {};
};

class CSkinMarkup {
 public:
  enum Encoding { kUtf8 = 0, kUtf16 = 1, kAnsi = 2 };
  static constexpr uint32_t kMaxFileBytes = 4u * 1024u * 1024u;
  // Limits no real skin comes near. Deeper markup is refused rather than recursed into: the parser, the
  // builder and every walk over the control tree recurse once per level, on a 32-bit thread's stack.
  static constexpr uint32_t kMaxDepth = 256;
  static constexpr size_t kMaxTextLength = kMaxFileBytes;

  CSkinMarkup() = default;
  CSkinMarkup(const CSkinMarkup&) = delete;
  CSkinMarkup& operator=(const CSkinMarkup&) = delete;
  ~CSkinMarkup();

  bool Load(const wchar_t* text);
  bool LoadFromMem(uint8_t* bytes, size_t size, int encoding = kUtf8);
  bool LoadFromFile(const wchar_t* name, int encoding = kUtf8);
  void Release();
  [[nodiscard]] bool IsValid() const { return text_ != nullptr; }
  CSkinMarkupNode GetRoot();

  void SetPreserveWhitespace(bool preserve) { preserveWhitespace_ = preserve; }
  [[nodiscard]] const wchar_t* GetLastErrorMessage() const { return errorMessage_; }
  [[nodiscard]] const wchar_t* GetLastErrorLocation() const { return errorLocation_; }

  // Records in use (including the reserved record 0) and allocated; growth is visible to tests.
  [[nodiscard]] uint32_t ElementCount() const { return elementCount_; }
  [[nodiscard]] uint32_t ElementCapacity() const { return elementCapacity_; }

 private:
  friend class CSkinMarkupNode;

  struct Element {
    uint32_t start;
    uint32_t child;
    uint32_t next;
    uint32_t parent;
    uint32_t data;
  };

  // Takes ownership of a zero-terminated buffer of length + 1 code units and parses it.
  bool ParseBuffer(wchar_t* buffer);
  bool Parse(uint32_t& pos, uint32_t parent, uint32_t depth);
  bool ParseAttributes(uint32_t& pos);
  // Decodes character data up to end in place; returns the end of the decoded text.
  uint32_t DecodeData(uint32_t& pos, wchar_t end);
  // The new record's index, or 0 when the array cannot grow (record 0 itself is reserved first).
  uint32_t ReserveElement();
  void SkipWhitespace(uint32_t& pos) const;
  [[nodiscard]] uint32_t NextChar(uint32_t pos) const;
  bool Fail(const wchar_t* message, const wchar_t* location);
  void SetError(const wchar_t* message, const wchar_t* location);

  wchar_t* text_ = nullptr;
  Element* elements_ = nullptr;
  uint32_t elementCount_ = 0;
  uint32_t elementCapacity_ = 0;
  wchar_t errorMessage_[100] = {};
  wchar_t errorLocation_[50] = {};
  bool preserveWhitespace_ = true;
};

}  // namespace Veneer
