// Image descriptors: parse a descriptor and a modifier at some DPI scale, then place the image in an item
// and cut it into the pieces that painting blits, as a control does.
#include <cstdint>

#include "fuzz/fuzz_input.h"
#include "veneer/dpi.h"
#include "veneer/draw_info.h"

using namespace Veneer;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  static const int kDpis[] = {96, 120, 144, 192};
  CDPI dpi;
  dpi.SetDPI(kDpis[input.Byte() % 4]);
  RECT item;
  item.left = input.Number();
  item.top = input.Number();
  item.right = input.Number();
  item.bottom = input.Number();
  // What is painted lies in a window's client area.
  RECT paint = MakeRect(input.Byte() * 8, input.Byte() * 8, 0, 0);
  paint.right = paint.left + input.Byte() * 8;
  paint.bottom = paint.top + input.Byte() * 8;
  const std::wstring descriptor = input.Text(512);
  const std::wstring modifier = input.Text(512);

  TDrawInfo info;
  info.Parse(descriptor, modifier, dpi.GetScale());
  if (info.fade < 0 || info.fade > 255) __builtin_trap();
  const RECT dest = ComputeImageDest(item, info, &dpi);
  RECT source = info.source;
  if (IsZero(source)) source = MakeRect(0, 0, 1 + input.Byte(), 1 + input.Byte());
  for (const ImagePiece& piece :
       ComputeImagePieces(dest, paint, source, info.corner, info.hole, info.xTiled, info.yTiled)) {
    RECT visible;
    if (IsEmpty(piece.dest) || IsEmpty(piece.source) || !Intersect(visible, piece.dest, paint)) __builtin_trap();
  }
  return 0;
}
