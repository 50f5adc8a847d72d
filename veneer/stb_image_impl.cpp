// The image decoder (stb_image) compiled once, for PNG, JPEG, BMP and GIF from memory, with its
// allocations bounded.
#include <cstdlib>

namespace {

// Every allocation of the decoder goes through these. Image headers and chunk lengths declare sizes
// (a PNG data chunk may claim 2 GiB in a few bytes), and the decoder allocates what they say before
// it finds out that the data is not there; no single allocation may exceed what a decoded image within
// the pixel limit can need.
thread_local size_t decoderAllocationLimit = 0;

// Zeroed: a JPEG whose scan names a Huffman table that no segment defined is decoded with that table as
// the decoder found it in memory, and garbage there leads its lookups outside the table. A zeroed table
// decodes every code as symbol 0.
void* DecoderMalloc(size_t size) { return size <= decoderAllocationLimit ? std::calloc(1, size) : nullptr; }
void* DecoderRealloc(void* block, size_t size) {
  return size <= decoderAllocationLimit ? std::realloc(block, size) : nullptr;
}

}  // namespace

#define STBI_MALLOC(size) DecoderMalloc(size)
#define STBI_REALLOC(block, size) DecoderRealloc(block, size)
#define STBI_FREE(block) std::free(block)
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_BMP
#define STBI_ONLY_GIF
#define STBI_MAX_DIMENSIONS (1 << 16)
#include "stb_image.h"

namespace Veneer {

void SetImageDecoderAllocationLimit(size_t bytes) { decoderAllocationLimit = bytes; }

}  // namespace Veneer
