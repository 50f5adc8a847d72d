#include "veneer/image_pixels.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "stb_image.h"

namespace Veneer {

// The most a single allocation of the decoder may take; set before each decode (stb_image_impl.cpp).
void SetImageDecoderAllocationLimit(size_t bytes);

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

void BlendColorOver(uint32_t* pixels, size_t stride, int width, int height, uint32_t color) {
  const uint32_t inverse = 255 - (color >> 24);
  const uint32_t channels[4] = {color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF, color >> 24};
  for (int y = 0; y < height; ++y) {
    uint32_t* row = pixels + y * stride;
    for (int x = 0; x < width; ++x) {
      const uint32_t d = row[x];
      uint32_t out = 0;
      for (int k = 0; k < 4; ++k) out |= (channels[k] + (((d >> (8 * k)) & 0xFF) * inverse + 127) / 255) << (8 * k);
      row[x] = out;
    }
  }
}

void BlendPixelsOver(uint32_t* dest, size_t destStride, const uint32_t* source, size_t sourceStride, int width,
                     int height) {
  for (int y = 0; y < height; ++y) {
    uint32_t* row = dest + y * destStride;
    const uint32_t* from = source + y * sourceStride;
    for (int x = 0; x < width; ++x) {
      const uint32_t s = from[x];
      const uint32_t inverse = 255 - (s >> 24);
      if (inverse == 0) {
        row[x] = s;
        continue;
      }
      const uint32_t d = row[x];
      uint32_t out = 0;
      for (int k = 0; k < 4; ++k)
        out |= (((s >> (8 * k)) & 0xFF) + (((d >> (8 * k)) & 0xFF) * inverse + 127) / 255) << (8 * k);
      row[x] = out;
    }
  }
}

namespace {

// The decoder reads through these callbacks rather than straight from memory. Reading from memory, it
// skips a chunk by moving its read pointer by the length the file declares, and on a 32-bit system a
// declared length near 2 GiB wraps that pointer around to memory before the end of the buffer, where the
// next read would land. Here every skip and read stays inside the bytes.
struct MemoryReader {
  const uint8_t* bytes;
  size_t size;
  size_t position;
};

int ReadBytes(void* user, char* out, int count) {
  auto* reader = static_cast<MemoryReader*>(user);
  const size_t left = reader->size - reader->position;
  const size_t n = count <= 0 ? 0 : std::min(left, static_cast<size_t>(count));
  std::memcpy(out, reader->bytes + reader->position, n);
  reader->position += n;
  return static_cast<int>(n);
}

void SkipBytes(void* user, int count) {
  auto* reader = static_cast<MemoryReader*>(user);
  const size_t left = reader->size - reader->position;
  // A negative count steps back (the decoder does that after looking ahead), never before the start.
  if (count < 0) {
    const size_t back = std::min(reader->position, static_cast<size_t>(-static_cast<int64_t>(count)));
    reader->position -= back;
  } else {
    reader->position += std::min(left, static_cast<size_t>(count));
  }
}

int AtEnd(void* user) {
  const auto* reader = static_cast<const MemoryReader*>(user);
  return reader->position >= reader->size ? 1 : 0;
}

const stbi_io_callbacks kCallbacks = {&ReadBytes, &SkipBytes, &AtEnd};

// The bundled decoder builds a JPEG Huffman table from the 16 code counts of a DHT segment without
// checking that they add up to at most 256 symbols; a larger sum writes past the end of the table. Every
// place where such a segment can start (the marker bytes FF C4; entropy-coded data never holds them) is
// read here the way the decoder reads it, and an image with an oversized table is refused.
bool HasOversizedHuffmanTable(const uint8_t* bytes, size_t size) {
  // A JPEG starts with the marker FF D8, which may be preceded by more FF fill bytes.
  size_t first = 0;
  while (first < size && bytes[first] == 0xFF) ++first;
  if (first == 0 || first >= size || bytes[first] != 0xD8) return false;
  auto at = [bytes, size](size_t i) -> uint32_t { return i < size ? bytes[i] : 0; };
  for (size_t marker = 0; marker + 1 < size; ++marker) {
    if (bytes[marker] != 0xFF || bytes[marker + 1] != 0xC4) continue;
    size_t pos = marker + 2;
    int64_t left = static_cast<int64_t>((at(pos) << 8) | at(pos + 1)) - 2;
    pos += 2;
    while (left > 0) {
      const uint32_t kind = at(pos++);
      if ((kind >> 4) > 1 || (kind & 15) > 3) break;  // the decoder gives up on this image here
      uint32_t symbols = 0;
      for (int i = 0; i < 16; ++i) symbols += at(pos++);
      if (symbols > 256) return true;
      pos += symbols;
      left -= 17 + static_cast<int64_t>(symbols);
      if (pos >= size) break;
    }
  }
  return false;
}

bool WithinLimit(int width, int height, uint64_t maxPixels) {
  return width > 0 && height > 0 && static_cast<uint64_t>(width) * static_cast<uint64_t>(height) <= maxPixels;
}

}  // namespace

bool DecodeImagePixels(const uint8_t* bytes, size_t size, uint32_t mask, uint64_t maxPixels,
                       const std::function<uint32_t*(int width, int height)>& allocate, DecodedImage& image) {
  image = DecodedImage();
  if (bytes == nullptr || size == 0 || size > INT_MAX || HasOversizedHuffmanTable(bytes, size)) return false;
  // The header's dimensions decide how much the decoder allocates: they are checked first.
  int width = 0;
  int height = 0;
  int channels = 0;
  // 16 bytes per pixel covers the largest intermediate buffer of any format (16-bit RGBA rows with their
  // filter bytes); the encoded bytes themselves are copied at most twice over.
  const uint64_t allocationLimit = maxPixels * 16 + 2 * static_cast<uint64_t>(size) + (1u << 20);
  SetImageDecoderAllocationLimit(static_cast<size_t>(std::min<uint64_t>(allocationLimit, SIZE_MAX / 2)));
  MemoryReader reader{bytes, size, 0};
  if (!stbi_info_from_callbacks(&kCallbacks, &reader, &width, &height, &channels)) return false;
  // A top-down BMP reports its height negative here; the decoder turns it around when loading.
  const uint64_t declaredPixels = static_cast<uint64_t>(std::llabs(static_cast<long long>(width))) *
                                  static_cast<uint64_t>(std::llabs(static_cast<long long>(height)));
  if (declaredPixels == 0 || declaredPixels > maxPixels) return false;
  reader.position = 0;
  stbi_uc* rgba = stbi_load_from_callbacks(&kCallbacks, &reader, &width, &height, &channels, 4);
  if (rgba == nullptr) return false;
  uint32_t* pixels = WithinLimit(width, height, maxPixels) ? allocate(width, height) : nullptr;
  if (pixels != nullptr) {
    image.pixels = pixels;
    image.width = width;
    image.height = height;
    image.alpha = PremultiplyPixels(rgba, pixels, static_cast<size_t>(width) * static_cast<size_t>(height), mask);
  }
  stbi_image_free(rgba);
  return pixels != nullptr;
}

}  // namespace Veneer
