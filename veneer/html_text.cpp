#include "veneer/html_text.h"

#include <cwchar>
#include <cwctype>

namespace Veneer {

std::vector<HtmlRun> ParseHtmlRuns(const std::wstring& text, uint32_t color, int font) {
  std::vector<HtmlRun> runs;
  std::vector<uint32_t> colors{color};
  std::vector<int> fonts{font};
  int bold = 0, italic = 0, underline = 0;
  bool pendingBreak = false;
  std::wstring current;
  auto flush = [&] {
    if (current.empty() && !pendingBreak) return;
    runs.push_back({current, colors.back(), fonts.back(), bold > 0, italic > 0, underline > 0, pendingBreak});
    current.clear();
    pendingBreak = false;
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    if (c == L'\n') {
      flush();
      pendingBreak = true;
      continue;
    }
    if (c != L'<') {
      current += c;
      continue;
    }
    const size_t close = text.find(L'>', i);
    if (close == std::wstring::npos) {
      current += text.substr(i);
      break;
    }
    const std::wstring tag = text.substr(i + 1, close - i - 1);
    i = close;
    flush();
    const bool ending = !tag.empty() && tag[0] == L'/';
    const wchar_t kind = tag.empty() ? 0 : static_cast<wchar_t>(std::towlower(tag[ending ? 1 : 0]));
    const std::wstring argument = tag.size() > 2 && !ending ? tag.substr(2) : L"";
    switch (kind) {
      case L'b': bold += ending ? (bold > 0 ? -1 : 0) : 1; break;
      case L'i': italic += ending ? (italic > 0 ? -1 : 0) : 1; break;
      case L'u': underline += ending ? (underline > 0 ? -1 : 0) : 1; break;
      case L'n': pendingBreak = true; break;
      case L'c':
        if (ending) {
          if (colors.size() > 1) colors.pop_back();
        } else {
          const wchar_t* hex = argument.c_str();
          while (*hex == L' ' || *hex == L'#') ++hex;
          colors.push_back(static_cast<uint32_t>(std::wcstoul(hex, nullptr, 16)));
        }
        break;
      case L'f':
        if (ending) {
          if (fonts.size() > 1) fonts.pop_back();
        } else {
          fonts.push_back(static_cast<int>(std::wcstol(argument.c_str(), nullptr, 10)));
        }
        break;
      default: break;
    }
  }
  flush();
  return runs;
}

}  // namespace Veneer
