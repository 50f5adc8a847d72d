// Decoding skin images and turning their RGBA pixels into the premultiplied BGRA layout that GDI's alpha
// blend expects. No window or GDI calls: the caller supplies the memory the pixels go to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace Veneer {

// The largest image decoded. No skin image comes near 16 million pixels (64 MiB once decoded); an image
// header that declares more is refused before anything is allocated for it.
constexpr uint64_t kMaxImagePixels = 16u * 1024u * 1024u;

// Converts count RGBA pixels into 0xAARRGGBB values: colour channels of translucent pixels are
// multiplied by alpha / 255 (truncating); a result equal to mask becomes fully transparent (0).
// Returns true when any pixel is not fully opaque or was masked out.
bool PremultiplyPixels(const uint8_t* rgba, uint32_t* out, size_t count, uint32_t mask);

// Lays a premultiplied 0xAARRGGBB colour over width x height pixels (rows stride pixels apart), source
// over, each channel rounded to nearest: c + (d * (255 - a) + 127) / 255.
void BlendColorOver(uint32_t* pixels, size_t stride, int width, int height, uint32_t color);

// Lays width x height premultiplied source pixels over as many destination pixels, source over, rounded
// as BlendColorOver is.
void BlendPixelsOver(uint32_t* dest, size_t destStride, const uint32_t* source, size_t sourceStride, int width,
                     int height);

struct DecodedImage {
  uint32_t* pixels = nullptr;  // from the caller's allocate
  int width = 0;
  int height = 0;
  bool alpha = false;  // as PremultiplyPixels reports
};

// Decodes PNG, JPEG, BMP or GIF bytes (the first frame of a GIF) into premultiplied pixels. allocate is
// asked once for width * height pixels, rows top-down, and may refuse with null. False for bytes that
// are not an image, for an image above maxPixels, and when allocate refuses.
bool DecodeImagePixels(const uint8_t* bytes, size_t size, uint32_t mask, uint64_t maxPixels,
                       const std::function<uint32_t*(int width, int height)>& allocate, DecodedImage& image);

}  // namespace Veneer
