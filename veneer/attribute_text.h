// Reading attribute values: colours, numbers, rectangles, booleans and attribute lists. Pure text code,
// shared by controls, the skin builder and image descriptors.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "veneer/geometry.h"

namespace Veneer {

// ASCII letters compare without case; everything else exactly.
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);
// True exactly when the text is "true", ignoring ASCII case.
bool ParseBool(std::wstring_view text);
// Leading code units up to 32 and one '#' are skipped, the rest read as hexadecimal ARGB.
uint32_t ParseColor(const wchar_t* text);
// A signed decimal number; 0 when the text holds none.
long ParseLong(const wchar_t* text);
// Up to count signed decimals, each next number read one character after the end of the previous one.
// Numbers that are missing stay 0; reading never passes the terminator.
int ParseLongList(const wchar_t* text, long* values, int count);
RECT ParseRect(const wchar_t* text);
SIZE ParseSize(const wchar_t* text);

// Splits an attribute list such as `name="a" width="30"` into pairs, in order. "&quot;" becomes a double
// quote and line breaks and tabs blanks first. Stops at the first malformed pair; pairs before it count.
void ForEachAttribute(std::wstring_view list,
                      const std::function<void(const std::wstring& name, const std::wstring& value)>& visit);

// Replaces every occurrence of from by to.
std::wstring ReplaceAll(std::wstring text, std::wstring_view from, std::wstring_view to);

}  // namespace Veneer
