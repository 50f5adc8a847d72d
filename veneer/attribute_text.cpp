#include "veneer/attribute_text.h"

#include <cwchar>

namespace Veneer {
namespace {

wchar_t AsciiLower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c; }

}  // namespace

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

bool ParseBool(std::wstring_view text) { return EqualsNoCase(text, L"true"); }

uint32_t ParseColor(const wchar_t* text) {
  if (text == nullptr) return 0;
  while (*text > 0 && *text <= L' ') ++text;
  if (*text == L'#') ++text;
  return static_cast<uint32_t>(std::wcstoul(text, nullptr, 16));
}

long ParseLong(const wchar_t* text) { return text == nullptr ? 0 : std::wcstol(text, nullptr, 10); }

int ParseLongList(const wchar_t* text, long* values, int count) {
  for (int i = 0; i < count; ++i) values[i] = 0;
  if (text == nullptr) return 0;
  const wchar_t* cursor = text;
  int read = 0;
  for (int i = 0; i < count; ++i) {
    wchar_t* end = nullptr;
    values[i] = std::wcstol(cursor, &end, 10);
    if (end != cursor) ++read;
    // The separator after a number is skipped whatever it is, but never the terminator.
    if (*end == L'\0') break;
    cursor = end + 1;
  }
  return read;
}

RECT ParseRect(const wchar_t* text) {
  long v[4];
  ParseLongList(text, v, 4);
  return MakeRect(v[0], v[1], v[2], v[3]);
}

SIZE ParseSize(const wchar_t* text) {
  long v[2];
  ParseLongList(text, v, 2);
  return MakeSize(v[0], v[1]);
}

std::wstring ReplaceAll(std::wstring text, std::wstring_view from, std::wstring_view to) {
  if (from.empty()) return text;
  for (size_t pos = text.find(from); pos != std::wstring::npos; pos = text.find(from, pos + to.size()))
    text.replace(pos, from.size(), to);
  return text;
}

void ForEachAttribute(std::wstring_view list,
                      const std::function<void(const std::wstring& name, const std::wstring& value)>& visit) {
  std::wstring text = ReplaceAll(std::wstring(list), L"&quot;", L"\"");
  for (wchar_t& c : text)
    if (c == L'\r' || c == L'\n' || c == L'\t') c = L' ';
  const size_t first = text.find_first_not_of(L' ');
  if (first == std::wstring::npos) return;
  text = text.substr(first, text.find_last_not_of(L' ') - first + 1);

  size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && text[pos] == L' ') ++pos;
    const size_t equals = text.find(L'=', pos);
    if (equals == std::wstring::npos) return;
    std::wstring name = text.substr(pos, equals - pos);
    if (equals + 1 >= text.size() || text[equals + 1] != L'"') return;
    const size_t closing = text.find(L'"', equals + 2);
    if (closing == std::wstring::npos) return;
    visit(name, text.substr(equals + 2, closing - equals - 2));
    pos = closing + 1;
    if (pos >= text.size()) return;
    if (text[pos] != L' ' && text[pos] != L',') return;
    ++pos;
  }
}

}  // namespace Veneer
