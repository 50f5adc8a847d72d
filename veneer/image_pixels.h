// Turning decoded RGBA pixels into the premultiplied BGRA layout that GDI's alpha blend expects.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Veneer {

// Converts count RGBA pixels into 0xAARRGGBB values: colour channels of translucent pixels are
// multiplied by alpha / 255 (truncating); a result equal to mask becomes fully transparent (0).
// Returns true when any pixel is not fully opaque or was masked out.
bool PremultiplyPixels(const uint8_t* rgba, uint32_t* out, size_t count, uint32_t mask);

}  // namespace Veneer
