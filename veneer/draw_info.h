// Image descriptors ("file='bg.png' source='0,0,279,51' gdiplus='true'") and the pure geometry of
// drawing them: where an image lands in its control and how a nine-part image is cut into pieces.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "veneer/geometry.h"

namespace Veneer {

class CDPI;

struct TDrawInfo {
  std::wstring descriptor;
  std::wstring modifier;
  std::wstring imageName;
  std::wstring resourceType;
  RECT dest{};
  RECT source{};
  RECT corner{};
  uint32_t mask = 0;
  int fade = 255;
  int rotate = 0;
  bool hole = false;
  bool xTiled = false;
  bool yTiled = false;
  bool hsl = false;
  bool gdiplus = false;
  SIZE size{};
  RECT padding{};
  std::wstring align;

  // Fills the fields from the descriptor and then the modifier. A DPI scale other than 100 renames the
  // image: bg.png at 150 becomes bg@150.png (the image loader falls back to the plain name).
  void Parse(const std::wstring& descriptorText, const std::wstring& modifierText, int dpiScale);
};

// Places an image of the given size inside item according to the align words ("left", "hcenter",
// "right", "top", "vcenter", "bottom"), shifts it by the padding and clamps it to item's right and bottom.
RECT MakeImageDest(const RECT& item, SIZE size, const std::wstring& align, const RECT& padding);

// The destination of a described image in a control: the descriptor's dest rectangle relative to the
// item (clamped to it), or the size/align/padding placement with the size and padding DPI-scaled.
RECT ComputeImageDest(const RECT& item, const TDrawInfo& info, const CDPI* dpi);

// One blit of a nine-part image: a destination and the source part it takes.
struct ImagePiece {
  RECT dest;
  RECT source;
};

// Cuts an image drawn from source into dest into the pieces to blit: first the middle (unless hole;
// tiled along the flagged axes, the last tile clipped, never compressed), then the four corners at their
// own size and the four edges stretched between them. Pieces that are empty or miss paint are left out.
std::vector<ImagePiece> ComputeImagePieces(const RECT& dest, const RECT& paint, const RECT& source, const RECT& corners,
                                           bool hole, bool xTiled, bool yTiled);

}  // namespace Veneer
