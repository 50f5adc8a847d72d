// Text with inline markup: split any text into runs; no run holds text that the input did not have.
#include <cstdint>

#include "fuzz/fuzz_input.h"
#include "veneer/html_text.h"

using namespace Veneer;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  const uint32_t color = static_cast<uint32_t>(input.Int32());
  const int font = input.Number();
  const std::wstring text = input.RestAsText();
  size_t total = 0;
  for (const HtmlRun& run : ParseHtmlRuns(text, color, font)) total += run.text.size();
  if (total > text.size()) __builtin_trap();
  return 0;
}
