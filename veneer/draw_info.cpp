#include "veneer/draw_info.h"

#include <algorithm>
#include <cwchar>

#include "veneer/attribute_text.h"
#include "veneer/dpi.h"

namespace Veneer {
namespace {

// One key='value' pair per step. Reading stops at the first violation; after a pair it goes on only if
// exactly one blank separates it from more text.
template <typename Apply>
void ScanPairs(const std::wstring& text, Apply apply) {
  size_t pos = 0;
  const size_t n = text.size();
  while (pos < n && text[pos] > 0 && text[pos] <= L' ') ++pos;
  while (pos < n) {
    const size_t keyStart = pos;
    while (pos < n && text[pos] != L'=' && text[pos] != L' ') ++pos;
    const std::wstring key = text.substr(keyStart, pos - keyStart);
    while (pos < n && text[pos] == L' ') ++pos;
    if (pos >= n || text[pos] != L'=') return;
    ++pos;
    while (pos < n && text[pos] == L' ') ++pos;
    if (pos >= n || text[pos] != L'\'') return;
    ++pos;
    const size_t valueStart = pos;
    while (pos < n && text[pos] != L'\'') ++pos;
    if (pos >= n) return;
    apply(key, text.substr(valueStart, pos - valueStart));
    ++pos;
    if (pos + 1 < n && text[pos] == L' ' && text[pos + 1] != L' ') {
      ++pos;
      continue;
    }
    return;
  }
}

void ApplyPair(TDrawInfo& info, const std::wstring& key, const std::wstring& value) {
  if (value.empty()) return;
  const wchar_t* v = value.c_str();
  if (key == L"file" || key == L"res") {
    info.imageName = value;
  } else if (key == L"restype") {
    info.resourceType = value;
  } else if (key == L"dest") {
    info.dest = ParseRect(v);
  } else if (key == L"source") {
    info.source = ParseRect(v);
  } else if (key == L"corner") {
    info.corner = ParseRect(v);
  } else if (key == L"mask") {
    info.mask = static_cast<uint32_t>(std::wcstoul(v[0] == L'#' ? v + 1 : v, nullptr, 16));
  } else if (key == L"fade") {
    // A constant alpha: values outside 0-255 mean fully transparent or opaque, never a wrapped byte.
    info.fade = static_cast<int>(std::max(0L, std::min(ParseLong(v), 255L)));
  } else if (key == L"rotate") {
    info.rotate = static_cast<int>(ParseLong(v));
    info.gdiplus = true;
  } else if (key == L"gdiplus") {
    info.gdiplus = ParseBool(value);
  } else if (key == L"hole") {
    info.hole = ParseBool(value);
  } else if (key == L"xtiled") {
    info.xTiled = ParseBool(value);
  } else if (key == L"ytiled") {
    info.yTiled = ParseBool(value);
  } else if (key == L"hsl") {
    info.hsl = ParseBool(value);
  } else if (key == L"size") {
    info.size = ParseSize(v);
  } else if (key == L"align") {
    info.align = value;
  } else if (key == L"padding") {
    info.padding = ParseRect(v);
  }
}

}  // namespace

void TDrawInfo::Parse(const std::wstring& descriptorText, const std::wstring& modifierText, int dpiScale) {
  descriptor = descriptorText;
  modifier = modifierText;
  imageName = descriptorText;
  auto apply = [this](const std::wstring& key, const std::wstring& value) { ApplyPair(*this, key, value); };
  ScanPairs(descriptorText, apply);
  ScanPairs(modifierText, apply);
  if (dpiScale != 100) {
    const std::wstring suffix = L"@" + std::to_wstring(dpiScale) + L".";
    imageName = ReplaceAll(imageName, L".", suffix);
  }
}

RECT MakeImageDest(const RECT& itemRect, SIZE imageSize, const std::wstring& align, const RECT& paddingRect) {
  const RECT item = ClampCoordinates(itemRect);
  const SIZE size = ClampCoordinates(imageSize);
  const RECT padding = ClampCoordinates(paddingRect);
  RECT dest = item;
  auto has = [&align](const wchar_t* word) { return align.find(word) != std::wstring::npos; };
  if (has(L"left")) {
    dest.left = item.left;
    dest.right = dest.left + size.cx;
  } else if (has(L"hcenter")) {
    dest.left = item.left + (Width(item) - size.cx) / 2;
    dest.right = dest.left + size.cx;
  } else if (has(L"right")) {
    dest.left = item.right - size.cx;
    dest.right = dest.left + size.cx;
  }
  if (has(L"top")) {
    dest.top = item.top;
    dest.bottom = dest.top + size.cy;
  } else if (has(L"vcenter")) {
    dest.top = item.top + (Height(item) - size.cy) / 2;
    dest.bottom = dest.top + size.cy;
  } else if (has(L"bottom")) {
    dest.top = item.bottom - size.cy;
    dest.bottom = dest.top + size.cy;
  }
  dest = Offset(dest, padding.left - padding.right, padding.top - padding.bottom);
  dest.right = std::min(dest.right, item.right);
  dest.bottom = std::min(dest.bottom, item.bottom);
  return dest;
}

RECT ComputeImageDest(const RECT& itemRect, const TDrawInfo& info, const CDPI* dpi) {
  const RECT item = ClampCoordinates(itemRect);
  RECT dest = item;
  if (!IsZero(info.dest)) {
    const RECT d = ClampCoordinates(info.dest);
    dest = MakeRect(item.left + d.left, item.top + d.top, std::min(item.right, item.left + d.right),
                    std::min(item.bottom, item.top + d.bottom));
  }
  if (info.size.cx >= 1 && info.size.cy >= 1) {
    const SIZE size = dpi != nullptr ? dpi->Scale(info.size) : info.size;
    RECT padding = info.padding;
    if (dpi != nullptr) {
      padding = MakeRect(dpi->Scale(static_cast<int>(padding.left)), dpi->Scale(static_cast<int>(padding.top)),
                         dpi->Scale(static_cast<int>(padding.right)), dpi->Scale(static_cast<int>(padding.bottom)));
    }
    dest = MakeImageDest(dest, size, info.align, padding);
  }
  return dest;
}

namespace {

// Spans of one axis: a stretched middle is one span, a tiled one repeats the source extent and clips
// the last repetition (destination and source shortened together).
struct Span {
  long destStart, destEnd, srcStart, srcEnd;
};

// Only repetitions that overlap [visibleStart, visibleEnd) are produced, so a small tile over a large
// area costs what is painted, not what is covered.
std::vector<Span> AxisSpans(long destStart, long destEnd, long srcStart, long srcEnd, bool tiled, long visibleStart,
                            long visibleEnd) {
  std::vector<Span> spans;
  const long destExtent = destEnd - destStart;
  const long srcExtent = srcEnd - srcStart;
  if (destExtent <= 0 || srcExtent <= 0) return spans;  // nothing to show, or no source to repeat
  if (!tiled) {
    spans.push_back({destStart, destEnd, srcStart, srcEnd});
    return spans;
  }
  const long repeats = (destExtent + srcExtent - 1) / srcExtent;
  const long first = visibleStart > destStart ? (visibleStart - destStart) / srcExtent : 0;
  for (long i = first; i < repeats && destStart + i * srcExtent < visibleEnd; ++i) {
    const long start = destStart + i * srcExtent;
    const long extent = std::min(srcExtent, destEnd - start);
    spans.push_back({start, start + extent, srcStart, srcStart + extent});
  }
  return spans;
}

void AddPiece(std::vector<ImagePiece>& pieces, const RECT& paint, const RECT& dest, const RECT& source) {
  RECT visible;
  if (IsEmpty(dest) || IsEmpty(source) || !Intersect(visible, dest, paint)) return;
  pieces.push_back({dest, source});
}

}  // namespace

std::vector<ImagePiece> ComputeImagePieces(const RECT& destRect, const RECT& paintRect, const RECT& sourceRect,
                                           const RECT& corners, bool hole, bool xTiled, bool yTiled) {
  std::vector<ImagePiece> pieces;
  const RECT dest = ClampCoordinates(destRect);
  const RECT paint = ClampCoordinates(paintRect);
  const RECT source = ClampCoordinates(sourceRect);
  const RECT c = ClampCoordinates(corners);
  const RECT middleDest = MakeRect(dest.left + c.left, dest.top + c.top, dest.right - c.right, dest.bottom - c.bottom);
  const RECT middleSrc =
      MakeRect(source.left + c.left, source.top + c.top, source.right - c.right, source.bottom - c.bottom);
  RECT visible;
  // Pass 1: the middle, row by row from the top, each row from the left.
  if (!hole && Intersect(visible, middleDest, paint)) {
    const auto columns =
        AxisSpans(middleDest.left, middleDest.right, middleSrc.left, middleSrc.right, xTiled, paint.left, paint.right);
    const auto rows =
        AxisSpans(middleDest.top, middleDest.bottom, middleSrc.top, middleSrc.bottom, yTiled, paint.top, paint.bottom);
    for (const Span& row : rows)
      for (const Span& col : columns)
        AddPiece(pieces, paint, MakeRect(col.destStart, row.destStart, col.destEnd, row.destEnd),
                 MakeRect(col.srcStart, row.srcStart, col.srcEnd, row.srcEnd));
  }
  // Pass 2: the corners at their own size.
  AddPiece(pieces, paint, MakeRect(dest.left, dest.top, dest.left + c.left, dest.top + c.top),
           MakeRect(source.left, source.top, source.left + c.left, source.top + c.top));
  AddPiece(pieces, paint, MakeRect(dest.right - c.right, dest.top, dest.right, dest.top + c.top),
           MakeRect(source.right - c.right, source.top, source.right, source.top + c.top));
  AddPiece(pieces, paint, MakeRect(dest.left, dest.bottom - c.bottom, dest.left + c.left, dest.bottom),
           MakeRect(source.left, source.bottom - c.bottom, source.left + c.left, source.bottom));
  AddPiece(pieces, paint, MakeRect(dest.right - c.right, dest.bottom - c.bottom, dest.right, dest.bottom),
           MakeRect(source.right - c.right, source.bottom - c.bottom, source.right, source.bottom));
  // Pass 3: the edges, stretched between the corners.
  AddPiece(pieces, paint, MakeRect(dest.left + c.left, dest.top, dest.right - c.right, dest.top + c.top),
           MakeRect(source.left + c.left, source.top, source.right - c.right, source.top + c.top));
  AddPiece(pieces, paint, MakeRect(dest.left + c.left, dest.bottom - c.bottom, dest.right - c.right, dest.bottom),
           MakeRect(source.left + c.left, source.bottom - c.bottom, source.right - c.right, source.bottom));
  AddPiece(pieces, paint, MakeRect(dest.left, dest.top + c.top, dest.left + c.left, dest.bottom - c.bottom),
           MakeRect(source.left, source.top + c.top, source.left + c.left, source.bottom - c.bottom));
  AddPiece(pieces, paint, MakeRect(dest.right - c.right, dest.top + c.top, dest.right, dest.bottom - c.bottom),
           MakeRect(source.right - c.right, source.top + c.top, source.right, source.bottom - c.bottom));
  return pieces;
}

}  // namespace Veneer
