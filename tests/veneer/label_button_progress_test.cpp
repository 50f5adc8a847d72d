// Labels, buttons and progress bars: measuring, attributes, text drawing, the button's state machine and
// state images, and the progress fill, checked on painted pixels where the look is the point.
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"
#include "tests/veneer/controls_test_support.h"
#include "veneer/button.h"
#include "veneer/container.h"
#include "veneer/label.h"
#include "veneer/progress.h"
#include "veneer/render_engine.h"
#include "veneer/tab_layout.h"

using namespace Veneer;
using VeneerTest::CountPixels;

namespace {

constexpr uint32_t kBlue = 0x0000FF;
constexpr uint32_t kGreen = 0x00FF00;
constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kGray = 0x808080;

// A tree whose images are read from a temporary resource folder.
class Tree : public VeneerTest::ControlTree {
 protected:
  void SetUp() override {
    CPaintManagerUI::SetResourcePath(images_.Path().wstring().c_str());
    // The four button states, top to bottom: normal, hot, pushed, disabled.
    VeneerTest::WriteBandsBmp(images_.Path() / L"strip.bmp", 4, 4, {kBlue, kGreen, kRed, kGray});
    VeneerTest::WriteBandsBmp(images_.Path() / L"fore.bmp", 4, 4, {kRed});
  }
  void TearDown() override { CPaintManagerUI::SetResourcePath(L""); }

  TempFolder images_{L"veneer-controls"};
};

CButtonUI* StripButton(const wchar_t* name) {
  auto* button = new CButtonUI();
  button->ApplyAttributeList(
      L"width=\"20\" height=\"20\" "
      L"normalimage=\"file='strip.bmp' source='0,0,4,4'\" "
      L"hotimage=\"file='strip.bmp' source='0,4,4,8'\" "
      L"pushedimage=\"file='strip.bmp' source='0,8,4,12'\" "
      L"disabledimage=\"file='strip.bmp' source='0,12,4,16'\"");
  button->SetName(name);
  return button;
}

}  // namespace

// --- Labels -------------------------------------------------------------------------------------------

TEST_F(Tree, LabelWithoutHeightIsTextHeightPlusEightInAVerticalLayout) {
  auto* label = AttachInColumn(new CLabelUI(), L"text=\"Quillon\" textpadding=\"0,3,0,2\"", 200, 100);
  const int textHeight = window_->Manager().GetFontInfo(-1)->metrics.tmHeight;
  ASSERT_GT(textHeight, 0);
  EXPECT_EQ(label->GetHeight(), 3 + textHeight + 2 + 8);
}

TEST_F(Tree, InARowALabelTakesTheInnerHeightAndItsAutoWidthIsMeasuredOnceUntilTheFontChanges) {
  auto* root = new CHorizontalLayoutUI();
  root->SetAttribute(L"inset", L"0,5,0,5");
  auto* label = new CLabelUI();
  label->ApplyAttributeList(L"autocalcwidth=\"true\" text=\"ab\" textpadding=\"4,0,6,0\"");
  root->Add(label);
  Attach(root, 400, 50);
  EXPECT_EQ(label->GetHeight(), 40);
  const SIZE available = {400, 30};
  const long shortWidth = label->EstimateSize(available).cx;
  EXPECT_GT(shortWidth, 10);
  label->SetText(L"a much longer text than before");
  EXPECT_EQ(label->EstimateSize(available).cx, shortWidth);  // cached for the same available size
  label->SetFont(-1);
  EXPECT_GT(label->EstimateSize(available).cx, shortWidth * 3);
}

// Each step applies to the label as the steps before it left it.
TEST(LabelAttributes, AlignIsSearchedLeftCenterRightAndWordBreakTradesSingleLine) {
  CLabelUI label;
  EXPECT_EQ(label.GetTextStyle(), kTextSingleLine | kTextVCenter);
  const UINT align = kTextCenter | kTextRight;
  const UINT lines = kTextSingleLine | kTextWordBreak | kTextEditControl;
  const struct {
    const wchar_t* name;
    const wchar_t* value;
    UINT mask, expected;
  } steps[] = {{L"align", L"centerleft", align, 0},  // "left" is tested first
               {L"ALIGN", L"rightcenter", align, kTextCenter},
               {L"align", L"right", align, kTextRight},
               {L"align", L"middle", align, kTextRight},  // nothing found: unchanged
               {L"wordbreak", L"true", lines, kTextWordBreak | kTextEditControl},
               {L"valign", L"bottom", kTextSingleLine | kTextWordBreak | kTextVCenter | kTextBottom,
                kTextSingleLine | kTextBottom}};
  for (const auto& step : steps) {
    label.SetAttribute(step.name, step.value);
    EXPECT_EQ(label.GetTextStyle() & step.mask, step.expected) << testing::PrintToString(std::wstring(step.value));
  }
}

// --- Text drawing -------------------------------------------------------------------------------------

TEST_F(Tree, SixDigitColourStillDrawsWhiteTextWithGdiplus) {
  AttachInColumn(new CLabelUI(), L"text=\"MMMM\" textcolor=\"#FFFFFF\"", 120, 30);
  window_->Manager().SetUseGdiplusText(true);
  auto surface = Paint();
  EXPECT_GT(CountPixels(*surface, RECT{0, 0, 120, 30}, [](uint32_t rgb) { return (rgb & 0xFF) > 0xC0; }), 10);
}

TEST_F(Tree, GlyphReferenceDrawsTheOneCharacterItNames) {
  auto* label = AttachInColumn(new CLabelUI(), L"textcolor=\"#FFFFFFFF\"", 120, 30);
  auto lit = [](uint32_t rgb) { return rgb != 0; };
  auto countFor = [&](const wchar_t* text) {
    label->SetText(text);
    auto surface = Paint();
    return CountPixels(*surface, RECT{0, 0, 120, 30}, lit);
  };
  const int plainB = countFor(L"B");
  ASSERT_GT(plainB, 0);
  EXPECT_EQ(countFor(L"icon &#x42; and more"), plainB);
  EXPECT_EQ(countFor(L"&#x0042"), plainB);
  EXPECT_NE(countFor(L"BB"), plainB);
}

TEST_F(Tree, MeasuringWithGdiplusWidensTheRectangleToTheText) {
  Attach(new CVerticalLayoutUI(), 100, 30);
  window_->Manager().SetUseGdiplusText(true);
  HDC dc = window_->Manager().GetPaintDC();
  RECT shortText = {10, 10, 9999, 9999};
  CRenderEngine::DrawPlainText(dc, &window_->Manager(), shortText, L"ab", 0, -1, kTextSingleLine | kTextCalcRect);
  RECT longText = {10, 10, 9999, 9999};
  CRenderEngine::DrawPlainText(dc, &window_->Manager(), longText, L"abababab", 0, -1, kTextSingleLine | kTextCalcRect);
  EXPECT_GT(shortText.right, 11);
  EXPECT_LT(shortText.right, 9999);
  EXPECT_GT(longText.right - 10, 3 * (shortText.right - 10));
  EXPECT_EQ(shortText.bottom, longText.bottom);
}

TEST_F(Tree, MarkedUpTextChangesColourAndBreaksLines) {
  AttachInColumn(new CLabelUI(),
                 L"showhtml=\"true\" textcolor=\"#FFFFFFFF\" "
                 L"text=\"<c #FFFF0000>MM</c> <b>MM</b> <c #FF00FF00>MM</c>\"",
                 200, 40);
  auto surface = Paint();
  const RECT all = {0, 0, 200, 40};
  EXPECT_GT(CountPixels(*surface, all, [](uint32_t rgb) { return rgb == kRed; }), 0);
  EXPECT_GT(CountPixels(*surface, all, [](uint32_t rgb) { return rgb == kGreen; }), 0);
  EXPECT_GT(CountPixels(*surface, all, [](uint32_t rgb) { return rgb == 0xFFFFFF; }), 0);
  RECT one = {0, 0, 200, 100};
  CRenderEngine::DrawHtmlText(window_->Manager().GetPaintDC(), &window_->Manager(), one, L"MM", 0, -1, kTextCalcRect);
  RECT two = {0, 0, 200, 100};
  CRenderEngine::DrawHtmlText(window_->Manager().GetPaintDC(), &window_->Manager(), two, L"MM<n>MM", 0, -1,
                              kTextCalcRect);
  EXPECT_EQ(Height(two), 2 * Height(one));
  EXPECT_EQ(Width(two), Width(one));
}

// --- Buttons --------------------------------------------------------------------------------------------

// Four separate state images, or one strip cut into four frames.
TEST_F(Tree, StateImagesPushedWinsOverHotAndDisabledOverEverything) {
  VeneerTest::WriteBandsBmp(images_.Path() / L"row.bmp", 4, 4, {kBlue, kGreen, kRed, kGray}, true);
  for (const wchar_t* strip : {L"", L"width=\"20\" height=\"20\" stateimage=\"file='row.bmp'\" statecount=\"4\""}) {
    CButtonUI* button = AttachInColumn(*strip == L'\0' ? StripButton(L"b") : new CButtonUI(), strip, 40, 40);
    button->SetName(L"b");
    auto centre = [this] { return Paint()->Rgb(10, 10); };
    EXPECT_EQ(centre(), kBlue);
    window_->Mouse(WM_MOUSEMOVE, 10, 10);
    EXPECT_EQ(centre(), kGreen);
    window_->Mouse(WM_LBUTTONDOWN, 10, 10, MK_LBUTTON);
    EXPECT_EQ(centre(), kRed);
    window_->Mouse(WM_LBUTTONUP, 10, 10);
    EXPECT_EQ(centre(), kGreen);
    EXPECT_EQ(log_.Count(L"click:b"), 1);
    button->SetEnabled(false);  // still hovered
    EXPECT_EQ(centre(), kGray);
    window_->Mouse(WM_LBUTTONDOWN, 10, 10, MK_LBUTTON);
    window_->Mouse(WM_LBUTTONUP, 10, 10);
    EXPECT_EQ(log_.Count(L"click:b"), 1);
  }
}

TEST_F(Tree, HotTextColourShowsInsteadOfThePushedOne) {
  auto* button = AttachInColumn(new CButtonUI(),
                                L"name=\"b\" height=\"30\" text=\"MMMM\" textcolor=\"#FF0000FF\" "
                                L"pushedtextcolor=\"#FFFF0000\" hottextcolor=\"#FF00FF00\"",
                                100, 30);
  window_->Mouse(WM_MOUSEMOVE, 50, 15);
  window_->Mouse(WM_LBUTTONDOWN, 50, 15, MK_LBUTTON);
  ASSERT_EQ(button->GetButtonState() & (kButtonHot | kButtonPushed), kButtonHot | kButtonPushed);
  auto surface = Paint();
  const RECT all = {0, 0, 100, 30};
  EXPECT_GT(CountPixels(*surface, all, [](uint32_t rgb) { return ((rgb >> 8) & 0xFF) > 0x40; }), 0);
  EXPECT_EQ(CountPixels(*surface, all, [](uint32_t rgb) { return ((rgb >> 16) & 0xFF) > 0x40; }), 0);
}

TEST_F(Tree, SpaceAndEnterClickAFocusedButtonOtherKeysBubble) {
  class RecordingLayout : public CVerticalLayoutUI {
   public:
    void DoEvent(EventRecord& event) override {
      if (event.type == UiEvent::KeyDown) keys.push_back(event.key);
      CVerticalLayoutUI::DoEvent(event);
    }
    std::vector<wchar_t> keys;
  };
  auto* root = new RecordingLayout();
  auto* button = new CButtonUI();
  button->SetName(L"b");
  root->Add(button);
  Attach(root, 100, 30);
  window_->Manager().SetFocus(button);
  ASSERT_TRUE(button->IsFocused());
  ::SendMessageW(window_->Handle(), WM_KEYDOWN, VK_SPACE, 0);
  ::SendMessageW(window_->Handle(), WM_KEYDOWN, VK_RETURN, 0);
  ::SendMessageW(window_->Handle(), WM_KEYDOWN, 'A', 0);
  EXPECT_EQ(log_.Count(L"click:b"), 2);
  EXPECT_EQ(root->keys, std::vector<wchar_t>{L'A'});
  button->SetAttribute(L"keyboard", L"false");
  ::SendMessageW(window_->Handle(), WM_KEYDOWN, VK_SPACE, 0);
  EXPECT_EQ(log_.Count(L"click:b"), 2);
  EXPECT_EQ(root->keys, (std::vector<wchar_t>{L'A', VK_SPACE}));
}

TEST(ButtonAttributes, FocusedFontOnlyUnderItsHistoricSpelling) {
  CButtonUI button;
  button.SetAttribute(L"focuedfont", L"2");
  button.SetAttribute(L"focusedfont", L"3");
  EXPECT_STREQ(button.GetCustomAttribute(L"focusedfont"), L"3");
  EXPECT_EQ(button.GetCustomAttribute(L"focuedfont"), nullptr);
  EXPECT_EQ(button.GetTextStyle(), kTextSingleLine | kTextVCenter | kTextCenter);
  EXPECT_EQ(button.GetControlFlags(), kControlFlagTabStop | kControlFlagSetCursor);
}

TEST_F(Tree, ClickSelectsTheBoundTabPage) {
  auto* root = new CVerticalLayoutUI();
  auto* button = new CButtonUI();
  button->ApplyAttributeList(L"height=\"20\" bindtablayoutname=\"pages\" bindtabindex=\"1\"");
  auto* pages = new CTabLayoutUI();
  pages->SetName(L"pages");
  auto* first = new CControlUI();
  auto* second = new CControlUI();
  pages->Add(first);
  pages->Add(second);
  root->Add(button);
  root->Add(pages);
  Attach(root, 100, 100);
  EXPECT_EQ(pages->GetCurSel(), 0);
  EXPECT_FALSE(second->IsVisible());
  EXPECT_TRUE(button->Activate());
  EXPECT_EQ(pages->GetCurSel(), 1);
  EXPECT_TRUE(second->IsVisible());
  EXPECT_FALSE(first->IsVisible());
}

// --- Progress ---------------------------------------------------------------------------------------------

class ProgressBar : public Tree {
 protected:
  void Build(const wchar_t* attributes = L"") {
    bar_ = new CProgressUI();
    bar_->ApplyAttributeList(L"width=\"560\" height=\"7\" foreimage=\"file='fore.bmp'\" min=\"0\" max=\"100\"");
    AttachInColumn(bar_, attributes, 900, 20);
  }
  // The first column that is not filled.
  long FillEnd() {
    auto surface = Paint();
    long x = 0;
    while (x < width_ && surface->Rgb(x, 3) == kRed) ++x;
    return x;
  }
  CProgressUI* bar_ = nullptr;
};

TEST_F(ProgressBar, ValuesOutsideTheRangeAreIgnoredAndAnEmptyRangeIsRepaired) {
  Build(L"value=\"37\" showtext=\"true\"");
  EXPECT_EQ(FillEnd(), 207);
  EXPECT_EQ(bar_->GetForeImageModifier(), L"dest='0,0,207,7'");
  EXPECT_EQ(bar_->GetText(), L"37%");
  bar_->SetValue(150);
  EXPECT_EQ(bar_->GetValue(), 37);
  bar_->SetMaxValue(0);
  bar_->SetMinValue(0);
  Paint();
  EXPECT_EQ(bar_->GetMaxValue(), 1);
  EXPECT_EQ(bar_->GetValue(), 1);
  bar_->SetShowText(false);
  EXPECT_EQ(bar_->GetText(), L"");
}

// Ranges fill by their proportions, at the ends of the int range too; an empty range at the very top is
// repaired downwards.
TEST_F(ProgressBar, RangesAtTheIntegerLimitsFillByProportion) {
  Build();
  const struct {
    int min, max, value;
    long fill;
  } cases[] = {{0, 100, 37, 207},
               {0, 100, 100, 560},
               {0, 100, 0, 0},
               {INT_MIN, INT_MAX, 0, 280},
               {INT_MIN, INT_MAX, INT_MAX, 560},
               {INT_MAX - 10, INT_MAX, INT_MAX - 5, 280},
               {INT_MIN, INT_MIN + 4, INT_MIN + 1, 140},
               {INT_MAX, INT_MAX, INT_MAX, 560}};
  for (const auto& c : cases) {
    bar_->SetMaxValue(c.max);
    bar_->SetMinValue(c.min);
    bar_->SetValue(c.value);
    EXPECT_EQ(FillEnd(), c.fill) << c.min << ".." << c.max << " at " << c.value;
  }
  EXPECT_EQ(bar_->GetMinValue(), INT_MAX - 1);
}

TEST_F(ProgressBar, FillCoversTheScaledBarAtOneHundredFiftyPercent) {
  Build(L"value=\"50\"");
  window_->Manager().SetDPI(144);
  bar_->GetParent()->SetPos(RECT{0, 0, 900, 20}, false);
  ASSERT_EQ(bar_->GetWidth(), 840);
  EXPECT_EQ(FillEnd(), 420);
  bar_->SetValue(100);
  EXPECT_EQ(FillEnd(), 840);
}
