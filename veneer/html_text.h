// Text with inline markup: "<b>bold</b> <c #FFFF0000>red</c><n>next" split into runs of one look. Pure
// text code; the render engine measures and draws the runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Veneer {

struct HtmlRun {
  std::wstring text;
  uint32_t color;
  int font;
  bool bold;
  bool italic;
  bool underline;
  bool lineBreak;  // a break before this run
};

// Bold, italic and underline nest by count; colours (<c #AARRGGBB>) and fonts (<f id>) by a stack whose
// end tag returns to the previous one. <n> and a line break start a new line. Unknown tags are dropped;
// a '<' without '>' is text.
std::vector<HtmlRun> ParseHtmlRuns(const std::wstring& text, uint32_t color, int font);

}  // namespace Veneer
