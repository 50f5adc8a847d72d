#include "veneer/render_engine.h"

#include <objidl.h>
#include <gdiplus.h>

#include <float.h>

#include <algorithm>
#include <cwchar>
#include <optional>

#include "veneer/image_pixels.h"
#include "veneer/image_resample.h"
#include "veneer/zip_reader.h"

namespace Veneer {

// ---------------------------------------------------------------------------------------------------
// Clip regions

CRenderClip::CRenderClip(HDC dc, const RECT& rc) : dc_(dc) { Apply(::CreateRectRgnIndirect(&rc)); }

CRenderClip::CRenderClip(HDC dc, const RECT& rc, int roundWidth, int roundHeight) : dc_(dc) {
  Apply(::CreateRoundRectRgn(rc.left, rc.top, rc.right + 1, rc.bottom + 1, roundWidth, roundHeight));
}

void CRenderClip::Apply(HRGN region) {
  UniqueHrgn owned(region);
  UniqueHrgn previous(::CreateRectRgn(0, 0, 0, 0));
  if (::GetClipRgn(dc_, previous.Get()) == 1) {
    previous_ = std::move(previous);
    hadPrevious_ = true;
    ::ExtSelectClipRgn(dc_, owned.Get(), RGN_AND);
  } else {
    ::SelectClipRgn(dc_, owned.Get());
  }
}

CRenderClip::~CRenderClip() { ::SelectClipRgn(dc_, hadPrevious_ ? previous_.Get() : nullptr); }

// ---------------------------------------------------------------------------------------------------
// Images

HBITMAP CRenderEngine::CreateDib32(HDC dc, int width, int height, uint32_t** bits) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  info.bmiHeader.biSizeImage = static_cast<DWORD>(width) * height * 4;
  void* pixels = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
  if (bits != nullptr) *bits = bitmap != nullptr ? static_cast<uint32_t*>(pixels) : nullptr;
  return bitmap;
}

TImageInfo::TImageInfo() = default;
// The GDI+ bitmap borrows the DIB's pixels, so it goes first.
TImageInfo::~TImageInfo() { gdiplusImage.reset(); }

std::unique_ptr<TImageInfo> CRenderEngine::DecodeImage(const uint8_t* bytes, size_t size, uint32_t mask, bool gdiplus) {
  auto image = std::make_unique<TImageInfo>();
  auto allocate = [&image](int width, int height) -> uint32_t* {
    uint32_t* bits = nullptr;
    image->bitmap.Reset(CreateDib32(nullptr, width, height, &bits));
    return bits;
  };
  DecodedImage decoded;
  if (!DecodeImagePixels(bytes, size, mask, kMaxImagePixels, allocate, decoded)) return nullptr;
  image->bits = decoded.pixels;
  image->width = decoded.width;
  image->height = decoded.height;
  image->alpha = decoded.alpha;
  image->mask = mask;
  const int width = decoded.width;
  const int height = decoded.height;
  uint32_t* bits = decoded.pixels;
  if (gdiplus) {
    // The GDI+ bitmap shares the decoded pixels rather than decoding the bytes a second time.
    auto bitmap = std::make_unique<Gdiplus::Bitmap>(width, height, width * 4, PixelFormat32bppPARGB,
                                                    reinterpret_cast<BYTE*>(bits));
    if (bitmap->GetLastStatus() == Gdiplus::Ok) image->gdiplusImage = std::move(bitmap);
  }
  return image;
}

namespace {

bool ReadWholeFile(const std::wstring& path, std::vector<uint8_t>& bytes) {
  UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart > kMaxZipEntryBytes) return false;
  if (!ResizeNoThrow(bytes, static_cast<size_t>(size.QuadPart))) return false;
  DWORD read = 0;
  if (!bytes.empty() && (!::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                         read != bytes.size())) {
    bytes.clear();
    return false;
  }
  return true;
}

bool ReadFromArchive(const std::wstring& name, std::vector<uint8_t>& bytes) {
  const CResourceZipScope archive;
  HZIP zip = archive.Get();
  if (zip == nullptr) return false;
  ZipEntryInfo entry;
  if (FindZipItem(zip, name.c_str(), true, &entry) != kZipOk || entry.uncompressedSize == 0) return false;
  const unsigned result = ReadZipItem(zip, entry.index, bytes);
  return result == kZipOk || result == kZipMore;
}

}  // namespace

bool CRenderEngine::LoadResourceFile(const std::wstring& name, std::vector<uint8_t>& bytes) {
  bytes.clear();
  if (!CPaintManagerUI::HasResourceZip()) return ReadWholeFile(CPaintManagerUI::GetResourcePath() + name, bytes);
  return ReadFromArchive(name, bytes);
}

std::unique_ptr<TImageInfo> CRenderEngine::LoadImage(const std::wstring& name, const wchar_t* type, uint32_t mask,
                                                     HINSTANCE module, bool gdiplus) {
  std::vector<uint8_t> bytes;
  if (type != nullptr && type[0] != 0) {
    // Step 1: a resource of the module (name is its decimal id).
    HINSTANCE source = module != nullptr ? module : CPaintManagerUI::GetResourceDll();
    const auto id = static_cast<WORD>(std::wcstol(name.c_str(), nullptr, 10));
    HRSRC resource = ::FindResourceW(source, MAKEINTRESOURCEW(id), type);
    if (resource != nullptr) {
      HGLOBAL loaded = ::LoadResource(source, resource);
      const DWORD size = ::SizeofResource(source, resource);
      const auto* data = static_cast<const uint8_t*>(loaded != nullptr ? ::LockResource(loaded) : nullptr);
      if (data != nullptr && size > 0) bytes.assign(data, data + size);
    }
  } else {
    // Steps 2 and 3: the resource folder, or the skin archive.
    LoadResourceFile(name, bytes);
  }
  // Step 4: the name as a path of its own.
  if (bytes.empty() && !ReadWholeFile(name, bytes)) return nullptr;
  if (bytes.empty()) return nullptr;
  return DecodeImage(bytes.data(), bytes.size(), mask, gdiplus);
}

namespace {

// A translucent colour through the system's alpha blend: one premultiplied pixel stretched over rc.
void BlendColorWithSystem(HDC dc, const RECT& rc, uint32_t premultiplied) {
  uint32_t* bits = nullptr;
  UniqueHbitmap pixel(CRenderEngine::CreateDib32(dc, 1, 1, &bits));
  if (!pixel) return;
  *bits = premultiplied;
  UniqueHdc memory(::CreateCompatibleDC(dc));
  HGDIOBJ old = ::SelectObject(memory.Get(), pixel.Get());
  BLENDFUNCTION bf = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  CRenderEngine::GetAlphaBlend()(dc, rc.left, rc.top, Width(rc), Height(rc), memory.Get(), 0, 0, 1, 1, bf);
  ::SelectObject(memory.Get(), old);
}

// Whether the toolkit's own pixel loops give exactly the pixels of the system's drawing here: a colour
// blended over an area, an image blended 1:1 and an opaque image copied. The system is asked once to do
// each over every kind of pixel (opaque, transparent, translucent) with sources of many strengths, and
// every pixel is compared; where anything differs, the system keeps doing all of it.
bool OwnBlendMatchesSystem() {
  static const bool matches = [] {
    constexpr int kSide = 16;
    constexpr size_t kCount = static_cast<size_t>(kSide) * kSide;
    uint32_t* drawn = nullptr;
    uint32_t* sourceBits = nullptr;
    UniqueHbitmap target(CRenderEngine::CreateDib32(nullptr, kSide, kSide, &drawn));
    UniqueHbitmap source(CRenderEngine::CreateDib32(nullptr, kSide, kSide, &sourceBits));
    UniqueHdc dc(::CreateCompatibleDC(nullptr));
    UniqueHdc sourceDc(::CreateCompatibleDC(nullptr));
    if (!target || !source || !dc || !sourceDc) return false;
    HGDIOBJ oldTarget = ::SelectObject(dc.Get(), target.Get());
    HGDIOBJ oldSource = ::SelectObject(sourceDc.Get(), source.Get());
    uint32_t seed = 0x9E3779B9u;
    auto next = [&seed] {
      seed = seed * 1103515245u + 12345u;
      return seed >> 8;
    };
    // A premultiplied pixel of the given alpha, or of any kind (opaque, transparent, translucent).
    auto pixelOf = [&next](uint32_t a) {
      return (a << 24) | ((next() % 256 * a / 255) << 16) | ((next() % 256 * a / 255) << 8) | (next() % 256 * a / 255);
    };
    auto anyPixel = [&next, &pixelOf] {
      const uint32_t kind = next() % 4;
      return pixelOf(kind == 0 ? 255 : kind == 1 ? 0 : next() % 256);
    };
    const BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    bool same = true;
    for (int round = 0; round < 10 && same; ++round) {
      std::vector<uint32_t> own(kCount);
      for (uint32_t& pixel : own) pixel = anyPixel();
      ::GdiFlush();
      std::copy(own.begin(), own.end(), drawn);
      if (round < 8) {
        // Colours from barely visible to nearly opaque.
        static const uint32_t kAlphas[] = {1, 0x20, 0x30, 0x40, 0x7F, 0x80, 0xC0, 0xFE};
        const uint32_t color = pixelOf(kAlphas[round]);
        BlendColorWithSystem(dc.Get(), MakeRect(0, 0, kSide, kSide), color);
        BlendColorOver(own.data(), kSide, kSide, kSide, color);
      } else {
        const bool opaque = round == 9;
        for (size_t i = 0; i < kCount; ++i) sourceBits[i] = opaque ? pixelOf(255) : anyPixel();
        if (opaque) {
          ::BitBlt(dc.Get(), 0, 0, kSide, kSide, sourceDc.Get(), 0, 0, SRCCOPY);
          std::copy(sourceBits, sourceBits + kCount, own.begin());
        } else {
          CRenderEngine::GetAlphaBlend()(dc.Get(), 0, 0, kSide, kSide, sourceDc.Get(), 0, 0, kSide, kSide, blend);
          BlendPixelsOver(own.data(), kSide, sourceBits, kSide, kSide, kSide);
        }
      }
      ::GdiFlush();
      same = std::equal(own.begin(), own.end(), drawn);
    }
    ::SelectObject(sourceDc.Get(), oldSource);
    ::SelectObject(dc.Get(), oldTarget);
    return same;
  }();
  return matches;
}

thread_local const CPixelSurfaceScope::Surface* g_pixelSurface = nullptr;

// The pixels of the surface being painted that drawing rc touches, when the toolkit may work on them
// itself: dc is that surface, maps coordinates one to one and clips to a plain rectangle, and the own
// pixel loops match the system. Null when the system must draw; area empty when nothing is visible.
const CPixelSurfaceScope::Surface* InPlaceArea(HDC dc, const RECT& rc, RECT* area) {
  const CPixelSurfaceScope::Surface* surface = g_pixelSurface;
  if (surface == nullptr || surface->dc != dc || surface->bits == nullptr || !OwnBlendMatchesSystem() ||
      ::GetGraphicsMode(dc) != GM_COMPATIBLE)
    return nullptr;
  POINT corners[2] = {{rc.left, rc.top}, {rc.right, rc.bottom}};
  if (!::LPtoDP(dc, corners, 2) || corners[0].x != rc.left || corners[0].y != rc.top || corners[1].x != rc.right ||
      corners[1].y != rc.bottom)
    return nullptr;
  RECT clip{};
  const int clipKind = ::GetClipBox(dc, &clip);
  *area = RECT{};
  if (clipKind == NULLREGION) return surface;
  if (clipKind != SIMPLEREGION) return nullptr;
  if (Intersect(*area, rc, clip) && Intersect(*area, *area, MakeRect(0, 0, surface->size.cx, surface->size.cy)))
    ::GdiFlush();  // what GDI drew before reaches the pixels first
  else
    *area = RECT{};
  return surface;
}

// Blends a premultiplied colour straight into the surface being painted: the system's blend stretches a
// one-pixel bitmap, several times slower. False when the system must draw it.
bool BlendColorInPlace(HDC dc, const RECT& rc, uint32_t premultiplied) {
  RECT area;
  const CPixelSurfaceScope::Surface* surface = InPlaceArea(dc, rc, &area);
  if (surface == nullptr) return false;
  if (IsEmpty(area)) return true;
  const size_t stride = static_cast<size_t>(surface->size.cx);
  BlendColorOver(surface->bits + area.top * stride + area.left, stride, Width(area), Height(area), premultiplied);
  return true;
}

// Blends (or copies, when opaque) the pixels of a 1:1 image at full strength straight into the surface
// being painted, without a memory device context per image. False when the system must draw it.
bool BlendImageInPlace(HDC dc, const RECT& dest, const uint32_t* bits, int bitsWidth, int sourceX, int sourceY,
                       BYTE fade, bool opaque) {
  if (bits == nullptr || fade != 255) return false;
  RECT area;
  const CPixelSurfaceScope::Surface* surface = InPlaceArea(dc, dest, &area);
  if (surface == nullptr) return false;
  if (IsEmpty(area)) return true;
  const size_t stride = static_cast<size_t>(surface->size.cx);
  uint32_t* to = surface->bits + area.top * stride + area.left;
  const uint32_t* from =
      bits + static_cast<size_t>(sourceY + area.top - dest.top) * bitsWidth + (sourceX + area.left - dest.left);
  if (opaque) {
    for (long y = 0; y < Height(area); ++y)
      std::copy(from + y * bitsWidth, from + y * bitsWidth + Width(area), to + y * stride);
  } else {
    BlendPixelsOver(to, stride, from, bitsWidth, Width(area), Height(area));
  }
  return true;
}

}  // namespace

CPixelSurfaceScope::CPixelSurfaceScope(HDC dc, uint32_t* bits, SIZE size)
    : surface_{dc, bits, size}, previous_(g_pixelSurface) {
  g_pixelSurface = &surface_;
}

CPixelSurfaceScope::~CPixelSurfaceScope() { g_pixelSurface = previous_; }

namespace {

// Draws the source part of a GDI+ image into a cleared premultiplied buffer of the destination size with
// the toolkit's high-quality settings.
void ScaleWithGdiplus(Gdiplus::Bitmap* image, const RECT& source, SIZE size, uint32_t* bits) {
  Gdiplus::Bitmap target(size.cx, size.cy, size.cx * 4, PixelFormat32bppPARGB, reinterpret_cast<BYTE*>(bits));
  Gdiplus::Graphics graphics(&target);
  graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
  graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHighQuality);
  graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
  Gdiplus::ImageAttributes attributes;
  attributes.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
  graphics.DrawImage(image, Gdiplus::Rect(0, 0, size.cx, size.cy), source.left, source.top, Width(source),
                     Height(source), Gdiplus::UnitPixel, &attributes);
  graphics.Flush(Gdiplus::FlushIntentionSync);
}

// Whether the toolkit's own resampler gives exactly the pixels that GDI+ draws on this system. GDI+ is
// asked once to scale a few small images that cover the cases the skins use (halving, fractional
// shrinking and growing, parts of a sprite sheet, the mirrored edge, translucent and empty pixels), and
// every pixel is compared. Where anything differs (Windows, whose GDI+ resamples bicubically), every
// scaled copy keeps coming from GDI+. Without a running GDI+ there is no answer yet (nullopt).
std::optional<bool> OwnResamplerMatchesGdiplus() {
  struct Case {
    int width, height;
    RECT source;
    SIZE size;
  };
  static const Case cases[] = {
      {24, 16, {0, 0, 24, 16}, {12, 8}},     {31, 29, {3, 5, 28, 24}, {17, 13}}, {13, 11, {2, 1, 13, 11}, {29, 23}},
      {20, 40, {0, 10, 20, 20}, {30, 15}},   {40, 3, {0, 0, 40, 3}, {17, 2}},    {99, 9, {33, 2, 97, 5}, {211, 7}},
      {60, 240, {0, 60, 60, 120}, {45, 45}}, {56, 7, {0, 0, 56, 7}, {37, 5}},
  };
  uint32_t seed = 0x2545F491u;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return seed >> 8;
  };
  for (const Case& c : cases) {
    std::vector<uint32_t> pixels(static_cast<size_t>(c.width) * c.height);
    for (uint32_t& pixel : pixels) {
      const uint32_t kind = next() % 4;
      const uint32_t a = kind < 2 ? 255 : kind == 2 ? 0 : next() % 256;
      pixel = (a << 24) | ((next() % 256 * a / 255) << 16) | ((next() % 256 * a / 255) << 8) | (next() % 256 * a / 255);
    }
    Gdiplus::Bitmap image(c.width, c.height, c.width * 4, PixelFormat32bppPARGB,
                          reinterpret_cast<BYTE*>(pixels.data()));
    if (image.GetLastStatus() != Gdiplus::Ok) return std::nullopt;
    const size_t count = static_cast<size_t>(c.size.cx) * c.size.cy;
    std::vector<uint32_t> drawn(count, 0), own(count, 0);
    ScaleWithGdiplus(&image, c.source, c.size, drawn.data());
    ResampleLikeWineGdiplus(pixels.data(), c.width, c.height, c.source, c.size, own.data());
    if (drawn != own) return false;
  }
  return true;
}

CRenderEngine::ScalingMode g_scalingMode = CRenderEngine::ScalingMode::Automatic;

// GDI+ places its samples with x87 arithmetic, so its pixels follow the precision the thread's FPU is
// set to. The resampler reproduces them at 53- and 64-bit precision (what new threads and this program's
// main thread start with); at 24-bit precision, which some libraries switch a thread to, rounding
// differs in a few pixels that a handful of check cases cannot be trusted to catch, so GDI+ draws.
bool FpuPrecisionMatchesResampler() {
  const unsigned precision = _control87(0, 0) & _MCW_PC;
  return precision == _PC_53 || precision == _PC_64;
}

bool UseOwnResampler() {
  if (g_scalingMode != CRenderEngine::ScalingMode::Automatic || !FpuPrecisionMatchesResampler()) return false;
  static std::optional<bool> matches;
  if (!matches) matches = OwnResamplerMatchesGdiplus();
  return matches.value_or(false);
}

// Scales a GDI+ image once into a premultiplied bitmap of the destination size; later paints blend that.
HBITMAP MakeScaledCopy(const TImageInfo& image, const RECT& source, SIZE size, bool* opaque, uint32_t** pixels) {
  uint32_t* bits = nullptr;
  HBITMAP bitmap = CRenderEngine::CreateDib32(nullptr, size.cx, size.cy, &bits);
  *pixels = bits;
  if (bitmap == nullptr) return nullptr;
  CRenderEngine::ScaleImage(image, source, size, bits);
  const size_t count = static_cast<size_t>(size.cx) * size.cy;
  *opaque = std::all_of(bits, bits + count, [](uint32_t pixel) { return (pixel >> 24) == 0xFF; });
  return bitmap;
}

void DrawGdiplusRotated(HDC dc, Gdiplus::Bitmap* image, const RECT& dest, const RECT& source, int fade, int rotate) {
  Gdiplus::Graphics graphics(dc);
  graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
  graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHighQuality);
  graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
  Gdiplus::ImageAttributes attributes;
  attributes.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
  if (fade != 255) {
    Gdiplus::ColorMatrix matrix = {{{1, 0, 0, 0, 0},
                                    {0, 1, 0, 0, 0},
                                    {0, 0, 1, 0, 0},
                                    {0, 0, 0, static_cast<Gdiplus::REAL>(fade) / 255.0f, 0},
                                    {0, 0, 0, 0, 1}}};
    attributes.SetColorMatrix(&matrix);
  }
  const Gdiplus::REAL cx = (dest.left + dest.right) / 2.0f;
  const Gdiplus::REAL cy = (dest.top + dest.bottom) / 2.0f;
  graphics.TranslateTransform(cx, cy);
  graphics.RotateTransform(static_cast<Gdiplus::REAL>(rotate));
  graphics.TranslateTransform(-cx, -cy);
  graphics.DrawImage(image, Gdiplus::Rect(dest.left, dest.top, Width(dest), Height(dest)), source.left, source.top,
                     Width(source), Height(source), Gdiplus::UnitPixel, &attributes);
}

// Blends the part of a 1:1 bitmap that lies inside both the destination and the device's clip box. An
// opaque source at full strength covers what is below completely, which a plain copy does faster.
void BlendVisible(HDC dc, HDC memory, const RECT& dest, int sourceX, int sourceY, BYTE fade, bool opaque) {
  RECT clip{};
  RECT visible = dest;
  if (::GetClipBox(dc, &clip) != NULLREGION && clip.right > clip.left) {
    if (!Intersect(visible, dest, clip)) return;
  }
  if (opaque && fade == 255) {
    ::BitBlt(dc, visible.left, visible.top, Width(visible), Height(visible), memory, sourceX + visible.left - dest.left,
             sourceY + visible.top - dest.top, SRCCOPY);
    return;
  }
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, fade, AC_SRC_ALPHA};
  CRenderEngine::GetAlphaBlend()(dc, visible.left, visible.top, Width(visible), Height(visible), memory,
                                 sourceX + visible.left - dest.left, sourceY + visible.top - dest.top, Width(visible),
                                 Height(visible), blend);
}

}  // namespace

bool CRenderEngine::DrawImageInfo(HDC dc, CPaintManagerUI* manager, const RECT& item, const RECT& paint,
                                  const TDrawInfo* info, HRGN /*clip*/) {
  if (manager == nullptr || dc == nullptr || info == nullptr) return false;
  const RECT dest = ComputeImageDest(item, *info, manager->GetDPIObj());
  if (info->imageName.empty()) return false;
  const TImageInfo* image =
      manager->GetImageEx(info->imageName.c_str(), info->resourceType.empty() ? nullptr : info->resourceType.c_str(),
                          info->mask, false, info->gdiplus);
  if (image == nullptr) return false;

  RECT source = info->source;
  if (source.left == 0 && source.top == 0 && source.right == 0 && source.bottom == 0) {
    source.right = image->width;
    source.bottom = image->height;
  }
  source.right = std::min<long>(source.right, image->width);
  source.bottom = std::min<long>(source.bottom, image->height);

  RECT overlap;
  if (!Intersect(overlap, dest, item) || !Intersect(overlap, dest, paint)) return true;
  const bool alpha = manager->IsLayered() || image->alpha;

  if (info->gdiplus && image->gdiplusImage) {
    if (info->rotate != 0) {
      DrawGdiplusRotated(dc, image->gdiplusImage.get(), dest, source, info->fade, info->rotate);
      return true;
    }
    const SIZE size = MakeSize(Width(dest), Height(dest));
    const BYTE fade = static_cast<BYTE>(info->fade);
    if (size.cx == Width(source) && size.cy == Height(source)) {
      // Drawn at its own size, the high-quality resampling maps every pixel onto itself.
      if (BlendImageInPlace(dc, dest, image->bits, image->width, source.left, source.top, fade, !image->alpha))
        return true;
      UniqueHdc memory(::CreateCompatibleDC(dc));
      HGDIOBJ old = ::SelectObject(memory.Get(), image->bitmap.Get());
      BlendVisible(dc, memory.Get(), dest, source.left, source.top, fade, !image->alpha);
      ::SelectObject(memory.Get(), old);
      return true;
    }
    auto* mutableImage = const_cast<TImageInfo*>(image);
    const TImageInfo::ScaledCopy* scaled = nullptr;
    for (const auto& copy : mutableImage->scaledCopies)
      if (SameRect(copy.source, source) && copy.size.cx == size.cx && copy.size.cy == size.cy) scaled = &copy;
    if (scaled == nullptr) {
      bool opaque = false;
      uint32_t* bits = nullptr;
      HBITMAP bitmap = MakeScaledCopy(*image, source, size, &opaque, &bits);
      if (bitmap == nullptr) return false;
      if (mutableImage->scaledCopies.size() >= 8) mutableImage->scaledCopies.erase(mutableImage->scaledCopies.begin());
      mutableImage->scaledCopies.push_back({source, size, UniqueHbitmap(bitmap), opaque, bits});
      scaled = &mutableImage->scaledCopies.back();
    }
    if (BlendImageInPlace(dc, dest, scaled->bits, size.cx, 0, 0, fade, scaled->opaque)) return true;
    UniqueHdc memory(::CreateCompatibleDC(dc));
    HGDIOBJ old = ::SelectObject(memory.Get(), scaled->bitmap.Get());
    BlendVisible(dc, memory.Get(), dest, 0, 0, fade, scaled->opaque);
    ::SelectObject(memory.Get(), old);
    return true;
  }
  DrawImage(dc, image->bitmap.Get(), dest, paint, source, info->corner, alpha, static_cast<BYTE>(info->fade),
            info->hole, info->xTiled, info->yTiled);
  return true;
}

void CRenderEngine::DrawImage(HDC dc, HBITMAP bitmap, const RECT& dest, const RECT& paint, const RECT& source,
                              const RECT& corners, bool alpha, BYTE fade, bool hole, bool xTiled, bool yTiled) {
  if (bitmap == nullptr) return;
  UniqueHdc memory(::CreateCompatibleDC(dc));
  HGDIOBJ old = ::SelectObject(memory.Get(), bitmap);
  ::SetStretchBltMode(dc, HALFTONE);
  AlphaBlendProc blend = GetAlphaBlend();
  const bool plain = Width(dest) == Width(source) && Height(dest) == Height(source) && IsZero(corners);
  if (blend != nullptr && (alpha || fade < 255)) {
    if (plain) {
      RECT visible;
      if (Intersect(visible, dest, paint)) {
        BLENDFUNCTION bf = {AC_SRC_OVER, 0, fade, AC_SRC_ALPHA};
        blend(dc, visible.left, visible.top, Width(visible), Height(visible), memory.Get(),
              source.left + visible.left - dest.left, source.top + visible.top - dest.top, Width(visible),
              Height(visible), bf);
      }
    } else {
      BLENDFUNCTION bf = {AC_SRC_OVER, 0, fade, AC_SRC_ALPHA};
      for (const ImagePiece& piece : ComputeImagePieces(dest, paint, source, corners, hole, xTiled, yTiled))
        blend(dc, piece.dest.left, piece.dest.top, Width(piece.dest), Height(piece.dest), memory.Get(),
              piece.source.left, piece.source.top, Width(piece.source), Height(piece.source), bf);
    }
  } else if (plain) {
    RECT visible;
    if (Intersect(visible, dest, paint))
      ::BitBlt(dc, visible.left, visible.top, Width(visible), Height(visible), memory.Get(),
               source.left + visible.left - dest.left, source.top + visible.top - dest.top, SRCCOPY);
  } else {
    for (const ImagePiece& piece : ComputeImagePieces(dest, paint, source, corners, hole, xTiled, yTiled))
      ::StretchBlt(dc, piece.dest.left, piece.dest.top, Width(piece.dest), Height(piece.dest), memory.Get(),
                   piece.source.left, piece.source.top, Width(piece.source), Height(piece.source), SRCCOPY);
  }
  ::SelectObject(memory.Get(), old);
}

void CRenderEngine::ScaleImage(const TImageInfo& image, const RECT& source, SIZE size, uint32_t* bits) {
  std::fill(bits, bits + static_cast<size_t>(size.cx) * size.cy, 0u);
  if (UseOwnResampler() && image.bits != nullptr) {
    ResampleLikeWineGdiplus(image.bits, image.width, image.height, source, size, bits);
  } else if (image.gdiplusImage) {
    ScaleWithGdiplus(image.gdiplusImage.get(), source, size, bits);
  }
}

void CRenderEngine::SetScalingMode(ScalingMode mode) { g_scalingMode = mode; }

bool CRenderEngine::UsesOwnResampler() { return UseOwnResampler(); }

// ---------------------------------------------------------------------------------------------------
// Alpha blending

CRenderEngine::AlphaBlendProc CRenderEngine::GetAlphaBlend() {
  static AlphaBlendProc proc = [] {
    HMODULE library = ::LoadLibraryW(L"msimg32.dll");
    auto found =
        library != nullptr
            ? reinterpret_cast<AlphaBlendProc>(reinterpret_cast<void*>(::GetProcAddress(library, "AlphaBlend")))
            : nullptr;
    return found != nullptr ? found : &CRenderEngine::SoftwareAlphaBlend;
  }();
  return proc;
}

namespace {

uint32_t* DibPixels(HDC dc, int* width, int* height) {
  DIBSECTION section{};
  HGDIOBJ bitmap = ::GetCurrentObject(dc, OBJ_BITMAP);
  if (bitmap == nullptr || ::GetObjectW(bitmap, sizeof(section), &section) != sizeof(section)) return nullptr;
  if (section.dsBm.bmBitsPixel != 32 || section.dsBm.bmBits == nullptr) return nullptr;
  *width = section.dsBm.bmWidth;
  *height = section.dsBm.bmHeight;
  return static_cast<uint32_t*>(section.dsBm.bmBits);
}

}  // namespace

// Source-over with premultiplied source pixels, nearest-neighbour scaling, between two 32-bit top-down
// DIB sections. Used only when the system's blend function is missing.
BOOL WINAPI CRenderEngine::SoftwareAlphaBlend(HDC dest, int dx, int dy, int dw, int dh, HDC src, int sx, int sy, int sw,
                                              int sh, BLENDFUNCTION blend) {
  int destWidth = 0, destHeight = 0, srcWidth = 0, srcHeight = 0;
  uint32_t* d = DibPixels(dest, &destWidth, &destHeight);
  uint32_t* s = DibPixels(src, &srcWidth, &srcHeight);
  if (d == nullptr || s == nullptr || dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return FALSE;
  destHeight = destHeight < 0 ? -destHeight : destHeight;
  srcHeight = srcHeight < 0 ? -srcHeight : srcHeight;
  const uint32_t constant = blend.SourceConstantAlpha;
  const bool perPixel = (blend.AlphaFormat & AC_SRC_ALPHA) != 0;
  for (int y = 0; y < dh; ++y) {
    const int ty = dy + y;
    const int fy = sy + y * sh / dh;
    if (ty < 0 || ty >= destHeight || fy < 0 || fy >= srcHeight) continue;
    for (int x = 0; x < dw; ++x) {
      const int tx = dx + x;
      const int fx = sx + x * sw / dw;
      if (tx < 0 || tx >= destWidth || fx < 0 || fx >= srcWidth) continue;
      const uint32_t sp = s[static_cast<size_t>(fy) * srcWidth + fx];
      uint32_t& dp = d[static_cast<size_t>(ty) * destWidth + tx];
      uint32_t channels[4];
      for (int k = 0; k < 4; ++k) channels[k] = ((sp >> (8 * k)) & 0xFF) * constant / 255;
      const uint32_t sa = perPixel ? channels[3] : constant;
      uint32_t out = 0;
      for (int k = 0; k < 4; ++k) {
        const uint32_t dc = (dp >> (8 * k)) & 0xFF;
        out |= std::min<uint32_t>(255, channels[k] + dc * (255 - sa) / 255) << (8 * k);
      }
      dp = out;
    }
  }
  return TRUE;
}

// ---------------------------------------------------------------------------------------------------
// Colours and lines

void CRenderEngine::DrawColor(HDC dc, const RECT& rc, DWORD color) {
  if (IsEmpty(rc)) return;
  const DWORD alpha = color >> 24;
  if (alpha == 0xFF) {
    UniqueHbrush brush(::CreateSolidBrush(RGB((color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF)));
    ::FillRect(dc, &rc, brush.Get());
    return;
  }
  if (alpha == 0) return;
  const DWORD r = ((color >> 16) & 0xFF) * alpha / 255;
  const DWORD g = ((color >> 8) & 0xFF) * alpha / 255;
  const DWORD b = (color & 0xFF) * alpha / 255;
  const uint32_t premultiplied = (alpha << 24) | (r << 16) | (g << 8) | b;
  if (!BlendColorInPlace(dc, rc, premultiplied)) BlendColorWithSystem(dc, rc, premultiplied);
}

void CRenderEngine::DrawGradient(HDC dc, const RECT& rc, DWORD first, DWORD second, bool vertical, int steps) {
  if (steps < 1 || IsEmpty(rc)) return;
  const long extent = vertical ? Height(rc) : Width(rc);
  for (int i = 0; i < steps; ++i) {
    DWORD color = 0;
    for (int shift = 0; shift < 32; shift += 8) {
      const long a = (first >> shift) & 0xFF;
      const long b = (second >> shift) & 0xFF;
      const long c = steps == 1 ? a : a + (b - a) * i / (steps - 1);
      color |= static_cast<DWORD>(c) << shift;
    }
    RECT band = rc;
    const long start = extent * i / steps;
    const long end = extent * (i + 1) / steps;
    if (vertical) {
      band.top = rc.top + start;
      band.bottom = rc.top + end;
    } else {
      band.left = rc.left + start;
      band.right = rc.left + end;
    }
    DrawColor(dc, band, color);
  }
}

namespace {
COLORREF ToColorRef(DWORD color) { return RGB((color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF); }
}  // namespace

void CRenderEngine::DrawLine(HDC dc, const RECT& rc, int size, DWORD color, int style) {
  UniqueHpen pen(::CreatePen(style, size, ToColorRef(color)));
  HGDIOBJ old = ::SelectObject(dc, pen.Get());
  ::MoveToEx(dc, rc.left, rc.top, nullptr);
  ::LineTo(dc, rc.right, rc.bottom);
  ::SelectObject(dc, old);
}

void CRenderEngine::DrawRect(HDC dc, const RECT& rc, int size, DWORD color, int style) {
  UniqueHpen pen(::CreatePen(style | PS_INSIDEFRAME, size, ToColorRef(color)));
  HGDIOBJ oldPen = ::SelectObject(dc, pen.Get());
  HGDIOBJ oldBrush = ::SelectObject(dc, ::GetStockObject(HOLLOW_BRUSH));
  ::Rectangle(dc, rc.left, rc.top, rc.right, rc.bottom);
  ::SelectObject(dc, oldBrush);
  ::SelectObject(dc, oldPen);
}

void CRenderEngine::DrawRoundRect(HDC dc, const RECT& rc, int size, int width, int height, DWORD color, int style) {
  UniqueHpen pen(::CreatePen(style | PS_INSIDEFRAME, size, ToColorRef(color)));
  HGDIOBJ oldPen = ::SelectObject(dc, pen.Get());
  HGDIOBJ oldBrush = ::SelectObject(dc, ::GetStockObject(HOLLOW_BRUSH));
  ::RoundRect(dc, rc.left, rc.top, rc.right, rc.bottom, width, height);
  ::SelectObject(dc, oldBrush);
  ::SelectObject(dc, oldPen);
}

void CRenderEngine::DrawSmoothRoundRect(HDC dc, const RECT& rc, int size, int width, int height, DWORD color) {
  if (size <= 0 || IsEmpty(rc)) return;
  Gdiplus::Graphics graphics(dc);
  graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
  Gdiplus::Pen pen(
      Gdiplus::Color(static_cast<BYTE>(color >> 24), (color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF),
      static_cast<Gdiplus::REAL>(size));
  // Pixel centres lie on whole coordinates and the stroke is centred on the path, so the path runs through
  // the middle of the stroke's outermost pixels: the outline stays within the item, as GDI's inside-frame
  // pen keeps it, and a one-pixel outline covers whole pixels.
  const Gdiplus::REAL inside = static_cast<Gdiplus::REAL>(size - 1) / 2;
  const Gdiplus::REAL left = static_cast<Gdiplus::REAL>(rc.left) + inside;
  const Gdiplus::REAL top = static_cast<Gdiplus::REAL>(rc.top) + inside;
  const Gdiplus::REAL right = static_cast<Gdiplus::REAL>(rc.right - 1) - inside;
  const Gdiplus::REAL bottom = static_cast<Gdiplus::REAL>(rc.bottom - 1) - inside;
  const Gdiplus::REAL diameterX = std::min(static_cast<Gdiplus::REAL>(width), right - left);
  const Gdiplus::REAL diameterY = std::min(static_cast<Gdiplus::REAL>(height), bottom - top);
  Gdiplus::GraphicsPath path;
  if (diameterX > 0 && diameterY > 0) {
    path.AddArc(left, top, diameterX, diameterY, 180, 90);
    path.AddArc(right - diameterX, top, diameterX, diameterY, 270, 90);
    path.AddArc(right - diameterX, bottom - diameterY, diameterX, diameterY, 0, 90);
    path.AddArc(left, bottom - diameterY, diameterX, diameterY, 90, 90);
    path.CloseFigure();
  } else {
    path.AddRectangle(Gdiplus::RectF(left, top, right - left, bottom - top));
  }
  graphics.DrawPath(&pen, &path);
}

}  // namespace Veneer
