#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/temp_folder.h"
#include "tests/veneer/veneer_test_support.h"
#include "veneer/draw_info.h"
#include "veneer/image_pixels.h"
#include "veneer/render_engine.h"

using namespace Veneer;
using VeneerTest::Describe;
using VeneerTest::ResourceSettingsReset;

namespace {

std::unique_ptr<TImageInfo> DecodeFixture(const wchar_t* name, uint32_t mask = 0) {
  const std::string bytes = ReadFileBytes(VeneerTest::FixturePath(name));
  return CRenderEngine::DecodeImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), mask, false);
}

}  // namespace

// --- Decoding -----------------------------------------------------------------------------------------

TEST(ImageDecoding, PremultipliesTranslucentPixelsIntoBgra) {
  auto image = DecodeFixture(L"pixels.png");
  ASSERT_NE(image, nullptr);
  ASSERT_EQ(image->width, 2);
  ASSERT_EQ(image->height, 2);
  EXPECT_EQ(image->bits[0], 0xFFFF0000u);  // opaque red kept
  EXPECT_EQ(image->bits[1], 0xFF00FF00u);  // opaque green kept
  EXPECT_EQ(image->bits[2], 0x80000080u);  // blue 255 at alpha 128: 255 * 128 / 255 = 128
  EXPECT_EQ(image->bits[3], 0x00000000u);  // transparent white becomes 0
  EXPECT_TRUE(image->alpha);
}

TEST(ImageDecoding, MaskMakesMatchingPixelsTransparentAndNoImageGivesNothing) {
  auto opaque = DecodeFixture(L"bg.png");
  ASSERT_NE(opaque, nullptr);
  EXPECT_FALSE(opaque->alpha);
  auto masked = DecodeFixture(L"pixels.png", 0xFF00FF00u);
  ASSERT_NE(masked, nullptr);
  EXPECT_EQ(masked->bits[1], 0u);
  EXPECT_EQ(masked->bits[0], 0xFFFF0000u);

  uint8_t rgba[] = {0, 255, 0, 255, 0, 255, 0, 254};
  uint32_t out[2];
  EXPECT_TRUE(PremultiplyPixels(rgba, out, 2, 0xFF00FF00u));
  EXPECT_EQ(out[0], 0u);
  EXPECT_EQ(out[1], 0xFE00FE00u);  // 255 * 254 / 255 = 254, not the mask
  uint8_t green[] = {0, 255, 0, 255};
  EXPECT_FALSE(PremultiplyPixels(green, out, 1, 0));
  // Bytes that are no image give nothing.
  EXPECT_EQ(DecodeFixture(L"not_an_image.png"), nullptr);
  EXPECT_EQ(CRenderEngine::DecodeImage(nullptr, 0, 0, false), nullptr);
}

// --- Loading and tables -------------------------------------------------------------------------------

class ImageTables : public ::testing::Test {
 protected:
  void SetUp() override { CPaintManagerUI::SetResourcePath(VeneerTest::FixturePath(L"").c_str()); }
  ResourceSettingsReset reset_;
  CPaintManagerUI manager_;
};

TEST_F(ImageTables, DescriptorAndBareNameLoadTheSameImage) {
  const TDrawInfo* described = manager_.GetDrawInfo(L"file='bg.png'", nullptr);
  const TDrawInfo* bare = manager_.GetDrawInfo(L"bg.png", nullptr);
  ASSERT_NE(described, nullptr);
  ASSERT_NE(bare, nullptr);
  EXPECT_EQ(described->imageName, L"bg.png");
  EXPECT_EQ(bare->imageName, L"bg.png");
  EXPECT_EQ(manager_.GetDrawInfo(L"file='bg.png'", nullptr), described);  // cached, not parsed again
  EXPECT_EQ(manager_.GetImageEx(described->imageName.c_str()), manager_.GetImageEx(bare->imageName.c_str()));
  EXPECT_EQ(manager_.AddImage(L"bg.png", L"PNG"), nullptr);  // a typed name must be a resource number
}

TEST_F(ImageTables, ArchiveEntriesAreFoundWithBackslashesInAnyCase) {
  CPaintManagerUI::SetResourceZip(L"skin.zip", true);
  const TImageInfo* image = manager_.GetImageEx(L"IMG\\LOGO.png");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->width, 2);
  EXPECT_EQ(manager_.GetImageEx(L"img\\missing.png"), nullptr);
}

// Descriptors parsed before a DPI change are parsed again; a name for the scale falls back to the plain one.
TEST_F(ImageTables, DpiSpecificNameFallsBackToThePlainOne) {
  EXPECT_EQ(manager_.GetDrawInfo(L"file='bg.png'", nullptr)->imageName, L"bg.png");
  manager_.SetDPI(144);
  EXPECT_EQ(manager_.GetDrawInfo(L"file='bg.png'", nullptr)->imageName, L"bg@150.png");
  const TDrawInfo* info = manager_.GetDrawInfo(L"file='bg.png' source='0,0,20,15'", nullptr);
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->imageName, L"bg@150.png");
  const TImageInfo* image = manager_.GetImageEx(info->imageName.c_str());
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->width, 40);
  EXPECT_EQ(manager_.GetImage(L"bg@150.png"), image);
}

// --- Descriptors --------------------------------------------------------------------------------------

TEST(ImageDescriptor, ReadsEveryKey) {
  TDrawInfo info;
  info.Parse(
      L"file='a.png' restype='PNG' dest='1,2,3,4' source='0,0,279,51' corner='5,6,7,8' mask='#FF00FF00' "
      L"fade='128' hole='TRUE' xtiled='true' ytiled='false' hsl='true' size='10,20' align='right bottom' "
      L"padding='1,2,3,4' gdiplus='true'",
      L"", 100);
  EXPECT_EQ(info.imageName, L"a.png");
  EXPECT_EQ(info.resourceType, L"PNG");
  EXPECT_EQ(Describe(info.dest), "1,2,3,4");
  EXPECT_EQ(Describe(info.source), "0,0,279,51");
  EXPECT_EQ(Describe(info.corner), "5,6,7,8");
  EXPECT_EQ(info.mask, 0xFF00FF00u);
  EXPECT_EQ(info.fade, 128);
  EXPECT_TRUE(info.hole);
  EXPECT_TRUE(info.xTiled);
  EXPECT_FALSE(info.yTiled);
  EXPECT_TRUE(info.hsl);
  EXPECT_EQ(info.size.cx, 10);
  EXPECT_EQ(info.size.cy, 20);
  EXPECT_EQ(info.align, L"right bottom");
  EXPECT_EQ(Describe(info.padding), "1,2,3,4");
  EXPECT_TRUE(info.gdiplus);
}

TEST(ImageDescriptor, ScanStopsAtTwoSpacesOrABrokenPairAndShortListsEndInZeros) {
  TDrawInfo twoSpaces;
  twoSpaces.Parse(L"file='a.png'  source='1,1,2,2'", L"", 100);
  EXPECT_EQ(twoSpaces.imageName, L"a.png");
  EXPECT_TRUE(IsZero(twoSpaces.source));

  TDrawInfo broken;
  broken.Parse(L"file='a.png' fade=128 source='1,1,2,2'", L"", 100);
  EXPECT_EQ(broken.imageName, L"a.png");
  EXPECT_EQ(broken.fade, 255);
  EXPECT_TRUE(IsZero(broken.source));

  TDrawInfo shortList;  // a short number list leaves the rest zero
  shortList.Parse(L"file='a.png' source='7'", L"", 100);
  EXPECT_EQ(Describe(shortList.source), "7,0,0,0");
}

TEST(ImageDescriptor, FadeIsAConstantAlphaOfZeroTo255) {
  const std::pair<const wchar_t*, int> cases[] = {
      {L"fade='7'", 7}, {L"fade='256'", 255}, {L"fade='1000'", 255}, {L"fade='-20'", 0}};
  for (const auto& [descriptor, fade] : cases) {
    TDrawInfo info;
    info.Parse(descriptor, L"", 100);
    EXPECT_EQ(info.fade, fade) << testing::PrintToString(std::wstring(descriptor));
  }
}

TEST(ImageDescriptor, EmptyValuesAreIgnoredAndTheModifierAddsPairs) {
  TDrawInfo info;
  info.Parse(L"file='' source='0,0,10,10'", L"dest='0,0,5,5' rotate='90'", 100);
  EXPECT_EQ(info.imageName, L"file='' source='0,0,10,10'");  // no file pair: the whole text stays the name
  EXPECT_EQ(Describe(info.source), "0,0,10,10");
  EXPECT_EQ(Describe(info.dest), "0,0,5,5");
  EXPECT_EQ(info.rotate, 90);
  EXPECT_TRUE(info.gdiplus);
}

// --- Placement ----------------------------------------------------------------------------------------

TEST(ImagePlacement, AlignWordsOrTheDestRectanglePlaceTheImage) {
  const RECT item = MakeRect(10, 20, 110, 70);  // 100 x 50
  EXPECT_EQ(Describe(MakeImageDest(item, MakeSize(20, 10), L"hcenter vcenter", RECT{})), "50,40,70,50");
  EXPECT_EQ(Describe(MakeImageDest(item, MakeSize(20, 10), L"right,bottom", RECT{})), "90,60,110,70");
  // Bottom alignment with padding: bottom touches item bottom minus the padding.
  EXPECT_EQ(Describe(MakeImageDest(item, MakeSize(20, 10), L"left bottom", MakeRect(0, 0, 0, 4))), "10,56,30,66");
  // Without align words the extent stays; the shift is clamped at the item's right and bottom.
  EXPECT_EQ(Describe(MakeImageDest(item, MakeSize(20, 10), L"", MakeRect(5, 0, 0, 0))), "15,20,110,70");
  // A dest rectangle is relative to the item and clamped to it.
  TDrawInfo info;
  info.Parse(L"file='a.png' dest='5,5,500,15'", L"", 100);
  EXPECT_EQ(Describe(ComputeImageDest(MakeRect(100, 100, 200, 200), info, nullptr)), "105,105,200,115");
}

// --- Nine-part pieces ---------------------------------------------------------------------------------

TEST(NinePart, StretchedMiddleThenCornersThenEdgesLessWhatIsNotPainted) {
  // dest 0..30 x 0..30 from a 9x9 source with 3-pixel corners:
  //   +--+-------+--+
  //   |c |  top  |c |
  //   +--+-------+--+
  //   |l | middle|r |
  //   +--+-------+--+
  //   |c | bottom|c |
  //   +--+-------+--+
  const RECT dest = MakeRect(0, 0, 30, 30);
  auto pieces = ComputeImagePieces(dest, dest, MakeRect(0, 0, 9, 9), MakeRect(3, 3, 3, 3), false, false, false);
  ASSERT_EQ(pieces.size(), 9u);
  EXPECT_EQ(Describe(pieces[0].dest), "3,3,27,27");
  EXPECT_EQ(Describe(pieces[0].source), "3,3,6,6");
  EXPECT_EQ(Describe(pieces[1].dest), "0,0,3,3");
  EXPECT_EQ(Describe(pieces[4].dest), "27,27,30,30");
  EXPECT_EQ(Describe(pieces[4].source), "6,6,9,9");
  EXPECT_EQ(Describe(pieces[5].dest), "3,0,27,3");   // top edge
  EXPECT_EQ(Describe(pieces[8].source), "6,3,9,6");  // right edge
  // A hole leaves the middle out, a paint rectangle everything it does not touch.
  auto holed = ComputeImagePieces(dest, dest, MakeRect(0, 0, 9, 9), MakeRect(3, 3, 3, 3), true, false, false);
  EXPECT_EQ(holed.size(), 8u);
  auto topLeftOnly =
      ComputeImagePieces(dest, MakeRect(0, 0, 2, 2), MakeRect(0, 0, 9, 9), MakeRect(3, 3, 3, 3), false, false, false);
  ASSERT_EQ(topLeftOnly.size(), 1u);
  EXPECT_EQ(Describe(topLeftOnly[0].dest), "0,0,3,3");
}

TEST(NinePart, TilingRepeatsAndClipsTheLastTile) {
  // Middle 0..10 wide from a 4-pixel source: tiles at 0, 4, 8; the last one 2 wide (clipped, not squeezed).
  const RECT dest = MakeRect(0, 0, 10, 5);
  auto pieces = ComputeImagePieces(dest, dest, MakeRect(0, 0, 4, 4), RECT{}, false, true, false);
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_EQ(Describe(pieces[2].dest), "8,0,10,5");
  EXPECT_EQ(Describe(pieces[2].source), "0,0,2,4");
  // Both axes: rows from the top, each from the left.
  auto grid =
      ComputeImagePieces(MakeRect(0, 0, 6, 6), MakeRect(0, 0, 6, 6), MakeRect(0, 0, 4, 4), RECT{}, false, true, true);
  ASSERT_EQ(grid.size(), 4u);
  EXPECT_EQ(Describe(grid[1].dest), "4,0,6,4");
  EXPECT_EQ(Describe(grid[2].dest), "0,4,4,6");
  // Only the tiles under the paint rectangle: a 1-pixel tile over 100000 pixels, 3 of them painted.
  auto visible = ComputeImagePieces(MakeRect(0, 0, 100000, 1), MakeRect(500, 0, 503, 1), MakeRect(0, 0, 1, 1), RECT{},
                                    false, true, false);
  ASSERT_EQ(visible.size(), 3u);
  EXPECT_EQ(Describe(visible[0].dest), "500,0,501,1");
}

TEST(NinePart, CornersLargerThanTheDestinationLeaveNoMiddle) {
  const RECT dest = MakeRect(0, 0, 4, 4);
  auto pieces = ComputeImagePieces(dest, dest, MakeRect(0, 0, 9, 9), MakeRect(3, 3, 3, 3), false, true, true);
  ASSERT_EQ(pieces.size(), 4u);  // four corners at their own size, overlapping; no middle, no edges
  EXPECT_EQ(Describe(pieces[0].dest), "0,0,3,3");
  EXPECT_EQ(Describe(pieces[3].dest), "1,1,4,4");
  // A tiled middle without source extent draws nothing and does not fail.
  auto empty = ComputeImagePieces(MakeRect(0, 0, 20, 20), MakeRect(0, 0, 20, 20), MakeRect(0, 0, 6, 6),
                                  MakeRect(3, 3, 3, 3), false, true, true);
  EXPECT_EQ(empty.size(), 4u);  // only the corners have source pixels
}

// --- Drawing (pixels read back) -----------------------------------------------------------------------

TEST(ImageDrawing, NinePartImageLandsWhereItsPiecesSay) {
  auto image = DecodeFixture(L"nine.png");
  ASSERT_NE(image, nullptr);
  VeneerTest::Surface surface(30, 30, 0xFF000000);
  const RECT dest = MakeRect(0, 0, 30, 30);
  CRenderEngine::DrawImage(surface.Dc(), image->bitmap.Get(), dest, dest, MakeRect(0, 0, 9, 9), MakeRect(3, 3, 3, 3),
                           true);
  EXPECT_EQ(surface.Rgb(1, 1), 0xFF0000u);    // corner
  EXPECT_EQ(surface.Rgb(28, 28), 0xFF0000u);  // corner
  EXPECT_EQ(surface.Rgb(15, 1), 0x00FF00u);   // top edge, stretched
  EXPECT_EQ(surface.Rgb(1, 15), 0x00FF00u);   // left edge
  EXPECT_EQ(surface.Rgb(15, 15), 0x0000FFu);  // middle, stretched

  VeneerTest::Surface holed(30, 30, 0xFF000000);
  CRenderEngine::DrawImage(holed.Dc(), image->bitmap.Get(), dest, dest, MakeRect(0, 0, 9, 9), MakeRect(3, 3, 3, 3),
                           true, 255, true);
  EXPECT_EQ(holed.Rgb(15, 15), 0x000000u);
  EXPECT_EQ(holed.Rgb(15, 1), 0x00FF00u);
}

TEST(ImageDrawing, TranslucentImageBlendsOverWhatIsThere) {
  auto image = DecodeFixture(L"half.png");  // (200,100,50) at alpha 128
  ASSERT_NE(image, nullptr);
  VeneerTest::Surface surface(4, 4, 0xFF000000);
  const RECT dest = MakeRect(0, 0, 4, 4);
  CRenderEngine::DrawImage(surface.Dc(), image->bitmap.Get(), dest, dest, dest, RECT{}, true);
  const uint32_t pixel = surface.At(2, 2);
  EXPECT_NEAR(static_cast<int>((pixel >> 16) & 0xFF), 100, 2);
  EXPECT_NEAR(static_cast<int>((pixel >> 8) & 0xFF), 50, 2);
  EXPECT_NEAR(static_cast<int>(pixel & 0xFF), 25, 2);
}

TEST(ImageDrawing, GdiplusDescriptorScalesTheWholeImage) {
  ResourceSettingsReset reset;
  CPaintManagerUI::SetResourcePath(VeneerTest::FixturePath(L"").c_str());
  VeneerTest::TestWindow window(100, 100);
  CPaintManagerUI& manager = window.Manager();
  const TDrawInfo* info = manager.GetDrawInfo(L"file='nine.png' gdiplus='true'", nullptr);
  VeneerTest::Surface surface(90, 90, 0xFF000000);
  const RECT item = MakeRect(0, 0, 90, 90);
  ASSERT_TRUE(CRenderEngine::DrawImageInfo(surface.Dc(), &manager, item, item, info));
  EXPECT_EQ(surface.Rgb(2, 2), 0xFF0000u);
  EXPECT_EQ(surface.Rgb(45, 45), 0x0000FFu);
  EXPECT_EQ(surface.Rgb(45, 3), 0x00FF00u);
  // Nothing is drawn, successfully, when the destination misses the paint rectangle.
  const TDrawInfo* placed = manager.GetDrawInfo(L"file='nine.png' dest='0,0,10,10'", nullptr);
  VeneerTest::Surface untouched(90, 90, 0xFF123456);
  EXPECT_TRUE(CRenderEngine::DrawImageInfo(untouched.Dc(), &manager, item, MakeRect(50, 50, 90, 90), placed));
  EXPECT_EQ(untouched.At(5, 5), 0xFF123456u);
  EXPECT_FALSE(CRenderEngine::DrawImageInfo(untouched.Dc(), &manager, item, item,
                                            manager.GetDrawInfo(L"file='missing.png'", nullptr)));
}
