#include "tests/veneer/controls_test_support.h"

#include <algorithm>
#include <fstream>

#include "veneer/control.h"

namespace VeneerTest {

void WriteBandsBmp(const std::filesystem::path& path, int length, int bandSize, const std::vector<uint32_t>& colors,
                   bool sideBySide) {
  const int bands = static_cast<int>(colors.size());
  const int width = sideBySide ? bandSize * bands : length;
  const int height = sideBySide ? length : bandSize * bands;
  const int stride = (width * 3 + 3) & ~3;
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER info{};
  info.biSize = sizeof(info);
  info.biWidth = width;
  info.biHeight = -height;  // top-down rows
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  info.biSizeImage = static_cast<DWORD>(stride) * static_cast<DWORD>(height);
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(file) + sizeof(info);
  file.bfSize = file.bfOffBits + info.biSizeImage;
  std::vector<uint8_t> pixels(info.biSizeImage, 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint32_t rgb = colors[(sideBySide ? x : y) / bandSize];
      uint8_t* p = &pixels[y * stride + x * 3];
      p[0] = rgb & 0xFF;
      p[1] = (rgb >> 8) & 0xFF;
      p[2] = (rgb >> 16) & 0xFF;
    }
  }
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof(file));
  out.write(reinterpret_cast<const char*>(&info), sizeof(info));
  out.write(reinterpret_cast<const char*>(pixels.data()), static_cast<std::streamsize>(pixels.size()));
}

int CountPixels(const Surface& surface, const RECT& area, const std::function<bool(uint32_t rgb)>& predicate) {
  int count = 0;
  for (long y = area.top; y < area.bottom; ++y)
    for (long x = area.left; x < area.right; ++x) count += predicate(surface.Rgb(x, y)) ? 1 : 0;
  return count;
}

void NotifyLog::Notify(Veneer::NotifyRecord& msg) {
  entries.push_back(msg.type + L":" + (msg.sender != nullptr ? msg.sender->GetName() : L"-"));
  wParams.push_back(msg.wParam);
}

int NotifyLog::Count(const std::wstring& entry) const {
  return static_cast<int>(std::count(entries.begin(), entries.end(), entry));
}

std::unique_ptr<Surface> ControlTree::Paint() {
  auto surface = std::make_unique<Surface>(width_, height_, 0xFF000000u);
  window_->Manager().GetRoot()->Paint(surface->Dc(), RECT{0, 0, width_, height_}, nullptr);
  ::GdiFlush();
  return surface;
}

}  // namespace VeneerTest
