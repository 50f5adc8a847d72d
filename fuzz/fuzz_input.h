// Reading a fuzzer's bytes as the values a harness needs. Running out of bytes yields zeros and empty
// texts, so every input, however short, is a complete case.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  int32_t Int32() {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(Byte()) << (8 * i);
    return static_cast<int32_t>(value);
  }
  // Mostly small numbers, now and then any 32-bit value: both ends of the range stay reachable while the
  // common case is the one real skins have.
  int32_t Number() {
    const uint8_t kind = Byte();
    if (kind < 192) return static_cast<int32_t>(Byte()) - 64;
    if (kind < 240) return static_cast<int16_t>(Byte() | (Byte() << 8));
    return Int32();
  }
  // Text up to a zero byte, the end of the input, or maxUnits code units. A byte below 0xF0 is the code
  // unit of the same value, so plain skin files are their own inputs; 0xF0 and above take the next two
  // bytes as one UTF-16 code unit (little endian), which reaches surrogates and every other script.
  std::wstring Text(size_t maxUnits = SIZE_MAX) {
    std::wstring text;
    while (pos_ < size_ && text.size() < maxUnits) {
      const uint8_t lead = data_[pos_++];
      if (lead == 0) break;
      if (lead < 0xF0) {
        text.push_back(static_cast<wchar_t>(lead));
      } else {
        const uint8_t low = Byte();
        text.push_back(static_cast<wchar_t>(low | (Byte() << 8)));
      }
    }
    return text;
  }
  std::wstring RestAsText() { return Text(); }
  [[nodiscard]] bool Empty() const { return pos_ >= size_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};
