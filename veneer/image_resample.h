// Scaling of premultiplied images the way the GDI+ that ships with Wine resamples them for the toolkit's
// high-quality draw settings (bicubic requested, bilinear performed), in plain integer and float code that
// runs hundreds of times faster. Whether the platform's GDI+ really resamples like this is checked against
// GDI+ itself before the toolkit relies on it (see render_engine.cpp); on Windows it does not, and GDI+
// keeps drawing there.
#pragma once

#include <cstdint>

#include "veneer/geometry.h"

namespace Veneer {

// Scales the source part of a premultiplied 0xAARRGGBB image (width x height pixels, rows of width pixels)
// to size.cx x size.cy pixels and writes them premultiplied into out, which the caller has cleared to 0
// (pixels that nothing lands on stay 0). The source part must lie inside the image and not be empty.
void ResampleLikeWineGdiplus(const uint32_t* pixels, int width, int height, const RECT& source, SIZE size,
                             uint32_t* out);

}  // namespace Veneer
