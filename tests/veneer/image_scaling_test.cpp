// Scaled copies of gdiplus images: the toolkit's own resampler must give exactly the pixels GDI+ gives,
// for random images and for the installer's own artwork, and a painted window must look the same with
// either of them.
#include <gtest/gtest.h>
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <float.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"
#include "tests/veneer/veneer_test_support.h"
#include "veneer/control.h"
#include "veneer/image_resample.h"
#include "veneer/render_engine.h"

using namespace Veneer;

namespace {

// The installer's packed skin, built next to the tests, read where it lies in memory as the installer does.
struct SkinArchive {
  SkinArchive() {
    static const std::string bytes = ReadFileBytes(std::string("Z:") + QUILLON_TEST_SKIN_ZIP);
    CPaintManagerUI::SetResourceZip(bytes.data(), bytes.size());
  }
  VeneerTest::ResourceSettingsReset reset;
};

// Sets the x87 precision of this thread for a while; GDI+ computes its sample positions with it.
class FpuPrecision {
 public:
  explicit FpuPrecision(unsigned precision) : saved_(_control87(0, 0) & _MCW_PC) { _control87(precision, _MCW_PC); }
  ~FpuPrecision() { _control87(saved_, _MCW_PC); }

 private:
  unsigned saved_;
};

// Restores the default scaling mode when a test ends, however it ends.
struct ScalingModeReset {
  ~ScalingModeReset() { CRenderEngine::SetScalingMode(CRenderEngine::ScalingMode::Automatic); }
};

std::vector<uint32_t> Scale(const TImageInfo& image, const RECT& source, SIZE size, CRenderEngine::ScalingMode mode) {
  ScalingModeReset reset;
  CRenderEngine::SetScalingMode(mode);
  std::vector<uint32_t> out(static_cast<size_t>(size.cx) * size.cy);
  CRenderEngine::ScaleImage(image, source, size, out.data());
  return out;
}

::testing::AssertionResult SamePixels(const std::vector<uint32_t>& expected, const std::vector<uint32_t>& actual,
                                      long width, const std::string& what) {
  if (expected.size() != actual.size()) return ::testing::AssertionFailure() << what << ": sizes differ";
  const auto [drawn, own] = std::mismatch(expected.begin(), expected.end(), actual.begin());
  if (drawn == expected.end()) return ::testing::AssertionSuccess();
  const long first = static_cast<long>(drawn - expected.begin());
  return ::testing::AssertionFailure() << what << ": pixels differ, first at (" << first % width << "," << first / width
                                       << "): " << std::hex << *drawn << " expected, " << *own;
}

// Compares GDI+ and the toolkit's resampler on one image part and size.
::testing::AssertionResult ScalesAlike(const TImageInfo& image, const RECT& source, SIZE size,
                                       const std::string& what) {
  const auto drawn = Scale(image, source, size, CRenderEngine::ScalingMode::GdiplusOnly);
  const auto own = Scale(image, source, size, CRenderEngine::ScalingMode::Automatic);
  return SamePixels(drawn, own, size.cx, what + " to " + std::to_string(size.cx) + "x" + std::to_string(size.cy));
}

// A decoded image over given premultiplied pixels, laid out as the image loader lays it out.
std::unique_ptr<TImageInfo> MakeImage(int width, int height, const std::vector<uint32_t>& pixels) {
  auto image = std::make_unique<TImageInfo>();
  uint32_t* bits = nullptr;
  image->bitmap.Reset(CRenderEngine::CreateDib32(nullptr, width, height, &bits));
  std::copy(pixels.begin(), pixels.end(), bits);
  image->bits = bits;
  image->width = width;
  image->height = height;
  image->gdiplusImage =
      std::make_unique<Gdiplus::Bitmap>(width, height, width * 4, PixelFormat32bppPARGB, reinterpret_cast<BYTE*>(bits));
  return image;
}

class Random {
 public:
  explicit Random(uint32_t seed) : state_(seed) {}
  uint32_t Next(uint32_t bound) {
    state_ = state_ * 1664525u + 1013904223u;
    return (state_ >> 8) % bound;
  }
  // Mostly opaque, some fully transparent, some translucent, premultiplied.
  uint32_t Pixel() {
    const uint32_t kind = Next(4);
    const uint32_t a = kind < 2 ? 255 : kind == 2 ? 0 : Next(256);
    return (a << 24) | (Next(256) * a / 255 << 16) | (Next(256) * a / 255 << 8) | (Next(256) * a / 255);
  }

 private:
  uint32_t state_;
};

class ImageScaling : public ::testing::Test {
 protected:
  void SetUp() override {
    // A manager starts GDI+ for the images of these tests.
    ASSERT_TRUE(CRenderEngine::UsesOwnResampler());
  }
  VeneerTest::TestWindow window_;
};

struct Scaling {
  std::unique_ptr<TImageInfo> image;
  RECT source;
  SIZE size;
};

// Random images and parts, the same for every call.
std::vector<Scaling> RandomScalings() {
  std::vector<Scaling> scalings;
  Random random(20240611);
  for (int round = 0; round < 250; ++round) {
    const int width = 1 + random.Next(48);
    const int height = 1 + random.Next(48);
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    for (uint32_t& pixel : pixels) pixel = random.Pixel();
    RECT source;
    source.left = random.Next(width);
    source.top = random.Next(height);
    source.right = source.left + 1 + random.Next(width - source.left);
    source.bottom = source.top + 1 + random.Next(height - source.top);
    const SIZE size = MakeSize(1 + random.Next(96), 1 + random.Next(96));
    scalings.push_back({MakeImage(width, height, pixels), source, size});
  }
  // Long rows: there the horizontal coordinate of the first row and of the later rows round apart.
  std::vector<uint32_t> strip(309 * 8);
  for (uint32_t& pixel : strip) pixel = random.Pixel();
  scalings.push_back({MakeImage(309, 8, strip), MakeRect(99, 5, 308, 6), MakeSize(740, 374)});
  return scalings;
}

}  // namespace

// The main thread of a MinGW program runs at 64-bit precision, threads Windows starts at 53-bit.
TEST_F(ImageScaling, RandomImagesAndPartsScaleExactlyAsGdiplusDoes) {
  const auto scalings = RandomScalings();
  for (unsigned precision : {_PC_64, _PC_53}) {
    FpuPrecision fpu(precision);
    ASSERT_TRUE(CRenderEngine::UsesOwnResampler());
    for (size_t i = 0; i < scalings.size(); ++i) {
      const Scaling& scaling = scalings[i];
      ASSERT_TRUE(ScalesAlike(*scaling.image, scaling.source, scaling.size,
                              "precision " + std::to_string(precision) + " case " + std::to_string(i)));
    }
  }
}

// At single precision GDI+ rounds some sample positions differently; scaled copies then come from GDI+.
TEST_F(ImageScaling, AtSinglePrecisionGdiplusDrawsTheCopies) {
  const auto scalings = RandomScalings();
  FpuPrecision fpu(_PC_24);
  EXPECT_FALSE(CRenderEngine::UsesOwnResampler());
  size_t differing = 0;
  for (const Scaling& scaling : scalings) {
    const TImageInfo& image = *scaling.image;
    const auto drawn = Scale(image, scaling.source, scaling.size, CRenderEngine::ScalingMode::GdiplusOnly);
    const auto automatic = Scale(image, scaling.source, scaling.size, CRenderEngine::ScalingMode::Automatic);
    EXPECT_TRUE(SamePixels(drawn, automatic, scaling.size.cx, "single precision"));
    std::vector<uint32_t> own(drawn.size(), 0);
    ResampleLikeWineGdiplus(image.bits, image.width, image.height, scaling.source, scaling.size, own.data());
    differing += own != drawn;
  }
  // The case is real: the resampler alone would have drawn some of them differently.
  EXPECT_GT(differing, 0u);
}

TEST_F(ImageScaling, InstallerArtworkScalesExactlyAsGdiplusDoes) {
  SkinArchive skin;
  CPaintManagerUI& manager = window_.Manager();
  auto load = [&manager](const wchar_t* name) { return manager.GetImageEx(name, nullptr, 0, false, true); };
  // Backgrounds are drawn 3:1 (100 %) and 2:1 (150 %).
  for (const wchar_t* name : {L"background_welcome.png", L"background_installing.png"}) {
    const TImageInfo* image = load(name);
    ASSERT_NE(image, nullptr);
    const RECT all = MakeRect(0, 0, image->width, image->height);
    EXPECT_TRUE(ScalesAlike(*image, all, MakeSize(image->width / 3, image->height / 3), "background"));
    EXPECT_TRUE(ScalesAlike(*image, all, MakeSize(image->width / 2, image->height / 2), "background"));
  }
  // Sprite states (the normal and the hot one) into their buttons at 100, 150 and 200 %.
  struct Sprite {
    const wchar_t* name;
    RECT state;
    SIZE button;
  };
  const Sprite sprites[] = {
      {L"button_setup_or_next.png", {0, 129, 534, 258}, {178, 43}}, {L"button_close.png", {0, 0, 90, 90}, {30, 30}},
      {L"checkbox_license.png", {0, 255, 279, 306}, {93, 17}},      {L"button_license.png", {0, 36, 288, 72}, {96, 12}},
      {L"button_browse.png", {0, 72, 225, 144}, {75, 24}},
  };
  for (const Sprite& sprite : sprites) {
    const TImageInfo* image = load(sprite.name);
    ASSERT_NE(image, nullptr);
    for (int scale : {100, 150, 200}) {
      const SIZE size = MakeSize(sprite.button.cx * scale / 100, sprite.button.cy * scale / 100);
      EXPECT_TRUE(ScalesAlike(*image, sprite.state, size, "sprite"));
    }
  }
  // The progress fill is stretched into every filled width of the 560-pixel bar (every third width at
  // 150 %, where the bar is 840 pixels).
  const TImageInfo* fill = load(L"progressbar_foreground_.png");
  ASSERT_NE(fill, nullptr);
  const RECT all = MakeRect(0, 0, fill->width, fill->height);
  for (long width = 1; width <= 560; ++width) ASSERT_TRUE(ScalesAlike(*fill, all, MakeSize(width, 7), "progress fill"));
  for (long width = 1; width <= 840; width += 3)
    ASSERT_TRUE(ScalesAlike(*fill, all, MakeSize(width, 10), "progress fill"));
}

// A layered window at 150 % shaped like the installing view: background, a sprite button, the progress
// track and its fill. Every repaint of the progress reads back the same off-screen pixels whichever
// scaler made the copies.
TEST(ImagePaintPath, LayeredWindowShowsTheSamePixelsWithEitherScaler) {
  SkinArchive skin;
  ScalingModeReset reset;
  auto paintSteps = [](CRenderEngine::ScalingMode mode) {
    CRenderEngine::SetScalingMode(mode);
    VeneerTest::TestWindow window(600, 400);
    CPaintManagerUI& manager = window.Manager();
    auto* root = new CVerticalLayoutUI();
    root->SetBkImage(L"file='background_installing.png' gdiplus='true'");
    auto* button = new CControlUI();
    button->ApplyAttributeList(
        L"width=\"178\" height=\"43\" padding=\"211,200,0,0\" "
        L"bkimage=\"file='button_setup_or_next.png' gdiplus='true' source='0,129,534,258'\"");
    root->Add(button);
    auto* track = new CHorizontalLayoutUI();
    track->ApplyAttributeList(
        L"width=\"560\" height=\"7\" padding=\"20,60,0,0\" "
        L"bkimage=\"file='progressbar_background.png' gdiplus='true'\"");
    auto* fill = new CControlUI();
    fill->ApplyAttributeList(L"width=\"1\" bkimage=\"file='progressbar_foreground_.png' gdiplus='true'\"");
    track->Add(fill);
    root->Add(track);
    manager.SetLayered(true);
    manager.SetDPI(144);
    manager.AttachDialog(root);
    window.ShowAndPaint();
    std::vector<std::vector<uint32_t>> frames;
    const SIZE client = manager.GetClientSize();
    for (int width : {1, 37, 123, 280, 561, 560}) {
      fill->SetFixedWidth(width);
      ::UpdateWindow(window.Handle());
      const uint32_t* bits = manager.GetOffscreenBits();
      if (bits == nullptr) return frames;
      frames.emplace_back(bits, bits + static_cast<size_t>(client.cx) * client.cy);
    }
    return frames;
  };
  const auto drawn = paintSteps(CRenderEngine::ScalingMode::GdiplusOnly);
  const auto own = paintSteps(CRenderEngine::ScalingMode::Automatic);
  ASSERT_EQ(drawn.size(), 6u);
  ASSERT_EQ(own.size(), drawn.size());
  for (size_t i = 0; i < drawn.size(); ++i)
    EXPECT_TRUE(SamePixels(drawn[i], own[i], 900, "frame " + std::to_string(i)));
  // The frames really differ from one another: the fill grew.
  EXPECT_NE(own[0], own[4]);
}
