// Skin images: decode any bytes (PNG, JPEG, BMP, GIF) and premultiply them with a mask, as the loader
// does. The pixel limit (64 x 64) is far lower than the loader's so that each case stays fast; the checks
// that enforce it are the same.
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "veneer/image_pixels.h"

using namespace Veneer;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  uint32_t mask = 0;
  for (int i = 0; i < 4; ++i) mask |= static_cast<uint32_t>(data[i]) << (8 * i);
  constexpr uint64_t kPixels = 1u << 12;
  std::vector<uint32_t> pixels;
  auto allocate = [&pixels](int width, int height) {
    if (static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > kPixels) __builtin_trap();
    pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    return pixels.data();
  };
  DecodedImage image;
  if (DecodeImagePixels(data + 4, size - 4, mask, kPixels, allocate, image) &&
      static_cast<size_t>(image.width) * static_cast<size_t>(image.height) != pixels.size())
    __builtin_trap();
  return 0;
}
