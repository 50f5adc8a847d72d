#include "veneer/image_pixels.h"

namespace Veneer {

bool PremultiplyPixels(const uint8_t* rgba, uint32_t* out, size_t count, uint32_t mask) {
  bool alpha = false;
  for (size_t i = 0; i < count; ++i) {
    uint32_t r = rgba[4 * i + 0];
    uint32_t g = rgba[4 * i + 1];
    uint32_t b = rgba[4 * i + 2];
    const uint32_t a = rgba[4 * i + 3];
    if (a < 255) {
      r = r * a / 255;
      g = g * a / 255;
      b = b * a / 255;
      alpha = true;
    }
    uint32_t pixel = (a << 24) | (r << 16) | (g << 8) | b;
    if (pixel == mask) {
      pixel = 0;
      alpha = true;
    }
    out[i] = pixel;
  }
  return alpha;
}

}  // namespace Veneer
