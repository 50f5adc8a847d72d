#include "veneer/image_resample.h"

#include <algorithm>
#include <cmath>
#include <vector>

#if defined(__i386__) && !defined(__SSE2_MATH__)
#error "the resampler needs SSE2 arithmetic (-msse2 -mfpmath=sse): x87 intermediates round differently"
#endif

namespace Veneer {
namespace {

// GDI+ resamples straight (not premultiplied) colours: it reads premultiplied pixels through a 16-bit
// fixed-point reciprocal of alpha and writes results back with rounding.
// (A colour channel above its alpha is not valid premultiplied data; it is held at 255 so that it
// cannot spill into the neighbouring channel.)
uint32_t Unpremultiply(uint32_t pixel) {
  const uint32_t a = pixel >> 24;
  if (a == 0) return 0;
  if (a == 255) return pixel;
  const uint32_t k = (255u << 16) / a;
  auto channel = [&](int shift) { return std::min<uint32_t>(255, ((pixel >> shift) & 0xFF) * k >> 16) << shift; };
  return (a << 24) | channel(16) | channel(8) | channel(0);
}

uint32_t Premultiply(uint32_t color) {
  const uint32_t a = color >> 24;
  if (a == 255) return color;
  return (a << 24) | (((((color >> 16) & 0xFF) * a + 127) / 255) << 16) |
         (((((color >> 8) & 0xFF) * a + 127) / 255) << 8) | (((color & 0xFF) * a + 127) / 255);
}

// One linear step between two straight colours, weighted by their alphas; weight is 0 to 255 towards end.
uint32_t Blend(uint32_t start, uint32_t end, int weight) {
  if ((start & end) >> 24 == 0xFF) {
    // Both opaque: the weights are 255 x (255 - weight) and 255 x weight, so each channel is
    // (s x (255 - weight) + e x weight) / 255, and n / 255 equals n x 32897 >> 23 for every n below 65026.
    auto opaque = [&](int shift) {
      const uint32_t sum = ((start >> shift) & 0xFF) * static_cast<uint32_t>(weight ^ 0xFF) +
                           ((end >> shift) & 0xFF) * static_cast<uint32_t>(weight);
      return ((sum * 32897u) >> 23) << shift;
    };
    return 0xFF000000u | opaque(16) | opaque(8) | opaque(0);
  }
  const int startAlpha = static_cast<int>(start >> 24) * (weight ^ 0xFF);
  const int endAlpha = static_cast<int>(end >> 24) * weight;
  const int total = startAlpha + endAlpha;
  if (total < 0xFF) return 0;
  auto channel = [&](int shift) {
    return static_cast<uint32_t>((static_cast<int>((start >> shift) & 0xFF) * startAlpha +
                                  static_cast<int>((end >> shift) & 0xFF) * endAlpha) /
                                 total)
           << shift;
  };
  return (static_cast<uint32_t>(total / 0xFF) << 24) | channel(16) | channel(8) | channel(0);
}

// Beyond the image the tiling mirrors it (tile-flip wrap): index n maps to n - 1.
int Mirror(int index, int extent) {
  if (index < 0) index = -index - 1;
  index %= 2 * extent;
  return index < extent ? index : 2 * extent - index - 1;
}

// Where destination column (or row) i samples the source: the two neighbouring source indices and the
// weight of the second. GDI+ keeps single-precision coordinates that it derives from the inverted
// source-to-destination matrix; intermediate results carry double precision until they are stored.
// Its horizontal coordinate is origin + column * step, and that product reaches the sum unrounded in
// the first destination row but rounded to single precision in every later row (the compiled loop keeps
// it in a register only for the first pass), so columns are mapped once for each case. The indices are
// already mirrored into the image (imageExtent pixels).
struct AxisSample {
  int first;
  int second;
  int weight;
  bool inside;
};

std::vector<AxisSample> MapAxis(long sourceStart, long sourceExtent, long destExtent, int imageExtent,
                                bool roundedProduct) {
  // Source to destination: scale = dest / source, offset = -scale * start; then inverted.
  const double exactScale = static_cast<double>(destExtent) / static_cast<double>(sourceExtent);
  const float scale = static_cast<float>(exactScale);
  const float offset = static_cast<float>(0.0 - exactScale * static_cast<double>(sourceStart));
  const float inverseOffset = static_cast<float>(-static_cast<double>(offset) / static_cast<double>(scale));
  const float inverseScale = static_cast<float>(1.0 / static_cast<double>(scale));
  // The images of destination points 0 and 1 give the origin and the step per destination pixel.
  const float origin = inverseOffset;
  const float one = static_cast<float>(static_cast<double>(inverseScale) + static_cast<double>(inverseOffset));
  const float step = static_cast<float>(static_cast<double>(one) - static_cast<double>(origin));

  std::vector<AxisSample> samples(static_cast<size_t>(destExtent));
  for (long i = 0; i < destExtent; ++i) {
    double product = static_cast<double>(i) * step;
    if (roundedProduct) product = static_cast<float>(product);
    const float point = static_cast<float>(static_cast<double>(origin) + product);
    AxisSample& sample = samples[static_cast<size_t>(i)];
    sample.inside = point >= static_cast<float>(sourceStart) && point < static_cast<float>(sourceStart + sourceExtent);
    const float low = std::floor(point);
    sample.first = Mirror(static_cast<int>(low), imageExtent);
    sample.second = Mirror(static_cast<int>(std::ceil(point)), imageExtent);
    sample.weight = static_cast<int>(std::floor(static_cast<double>(point - low) * 255.0 + 0.5));
  }
  return samples;
}

}  // namespace

void ResampleLikeWineGdiplus(const uint32_t* pixels, int width, int height, const RECT& source, SIZE size,
                             uint32_t* out) {
  if (pixels == nullptr || out == nullptr || size.cx <= 0 || size.cy <= 0 || IsEmpty(source)) return;
  const std::vector<AxisSample> firstRowColumns = MapAxis(source.left, Width(source), size.cx, width, false);
  const std::vector<AxisSample> columns = MapAxis(source.left, Width(source), size.cx, width, true);
  const std::vector<AxisSample> rows = MapAxis(source.top, Height(source), size.cy, height, false);
  auto at = [&](int x, int y) { return Unpremultiply(pixels[static_cast<size_t>(y) * width + x]); };
  for (long y = 0; y < size.cy; ++y) {
    const AxisSample& row = rows[static_cast<size_t>(y)];
    if (!row.inside) continue;
    uint32_t* target = out + static_cast<size_t>(y) * size.cx;
    const std::vector<AxisSample>& rowColumns = y == 0 ? firstRowColumns : columns;
    for (long x = 0; x < size.cx; ++x) {
      const AxisSample& column = rowColumns[static_cast<size_t>(x)];
      if (!column.inside) continue;
      uint32_t color;
      if (column.first == column.second && row.first == row.second) {
        color = at(column.first, row.first);
      } else {
        const uint32_t top = Blend(at(column.first, row.first), at(column.second, row.first), column.weight);
        const uint32_t bottom = Blend(at(column.first, row.second), at(column.second, row.second), column.weight);
        color = Blend(top, bottom, row.weight);
      }
      // Fully transparent results leave the cleared target as it is.
      if ((color >> 24) != 0) target[x] = Premultiply(color);
    }
  }
}

}  // namespace Veneer
