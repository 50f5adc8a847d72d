// The rich edit field on the platform's windowless text engine: typing, notifications, the tip, the
// Enter rule, commands, attributes and painting in a layered window.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "tests/veneer/veneer_test_support.h"
#include "tests/veneer/controls_test_support.h"
#include "veneer/rich_edit.h"

using namespace Veneer;
using VeneerTest::CountPixels;

namespace {

// A window with a vertical layout holding one field of 200 x 30 at the top and a spacer below.
class Field : public VeneerTest::ControlTree {
 protected:
  void SetUp() override { Build(L""); }
  void Build(const wchar_t* attributes, bool layered = false) {
    field_ = new CRichEditUI();
    field_->ApplyAttributeList(L"name=\"path\" width=\"200\" height=\"30\"");
    AttachInColumn(field_, attributes, 240, 80, layered);
  }
  void Type(const std::wstring& text) {
    for (wchar_t c : text) ::SendMessageW(window_->Handle(), WM_CHAR, c, 1);
  }
  void Key(WPARAM key) {
    ::SendMessageW(window_->Handle(), WM_KEYDOWN, key, 1);
    ::SendMessageW(window_->Handle(), WM_KEYUP, key, 0xC0000001);
  }

  CRichEditUI* field_ = nullptr;
};

constexpr RECT kFieldArea = {0, 0, 200, 30};
bool Lit(uint32_t rgb) { return rgb != 0; }

}  // namespace

TEST_F(Field, TheEngineIsCreatedWhenTheFieldJoinsAWindow) {
  Build(L"inset=\"2,0,0,0\" textpadding=\"1,2,3,4\"");
  ASSERT_NE(field_->GetHost(), nullptr);
  ASSERT_NE(field_->GetHost()->GetTextServices(), nullptr);
  // The engine's rectangle is the item rectangle less inset and text padding.
  EXPECT_EQ(VeneerTest::Describe(field_->GetHost()->GetClientRect()), "3,2,197,26");
}

TEST_F(Field, TypingProducesOneTextChangedPerCharacterAndTextsReachTheEngine) {
  field_->SetFocus();
  ASSERT_TRUE(field_->IsFocused());
  Type(L"C:\\安装目录");
  EXPECT_EQ(field_->GetText(), L"C:\\安装目录");
  EXPECT_EQ(log_.Count(L"textchanged:path"), 7);
  Key(VK_BACK);
  EXPECT_EQ(field_->GetText(), L"C:\\安装目");
  EXPECT_EQ(log_.Count(L"textchanged:path"), 8);
  // The stored text was never the typed one, yet setting the empty text must still empty the engine.
  field_->SetText(L"");
  EXPECT_EQ(field_->GetText(), L"");
  field_->SetText(L"D:\\Quillon");
  EXPECT_EQ(field_->GetText(), L"D:\\Quillon");
}

TEST_F(Field, SingleLineFieldKeepsALongPathOnOneLineAndEnterSendsNoReturn) {
  const std::wstring path = L"C:\\Program Files (x86)\\Quillon Games\\Launcher\\very long folder name";
  auto lines = [this] {
    LRESULT count = 0;
    field_->TxSend(EM_GETLINECOUNT, 0, 0, &count);
    return count;
  };
  Build(L"multiline=\"true\"");  // wraps at the field's width
  field_->SetFocus();
  Type(path);
  EXPECT_GT(lines(), 1);

  Build(L"multiline=\"false\" autohscroll=\"true\"");
  field_->SetFocus();
  Type(path);
  EXPECT_EQ(lines(), 1);
  Key(VK_RETURN);
  EXPECT_EQ(log_.Count(L"return:path"), 0);
  EXPECT_EQ(field_->GetText(), path);
}

TEST_F(Field, EnterBecomesReturnWhereTheFieldDoesNotWantIt) {
  Build(L"multiline=\"false\" wantreturn=\"false\"");
  field_->SetFocus();
  Key(VK_RETURN);
  EXPECT_EQ(log_.Count(L"return:path"), 1);

  Build(L"wantctrlreturn=\"false\"");
  field_->SetFocus();
  Type(L"x");
  Key(VK_RETURN);  // plain Enter is a line break in this multi-line field
  EXPECT_EQ(log_.Count(L"return:path"), 0);
  BYTE keys[256] = {};
  ::GetKeyboardState(keys);
  keys[VK_CONTROL] = 0x80;
  ::SetKeyboardState(keys);
  Key(VK_RETURN);
  keys[VK_CONTROL] = 0;
  ::SetKeyboardState(keys);
  EXPECT_EQ(log_.Count(L"return:path"), 1);
}

TEST_F(Field, TipShowsOnlyWhileEmptyAndUnfocused) {
  Build(L"tipvalue=\"MMMM\" tipvaluecolor=\"#FFFFFFFF\" textcolor=\"#FF000000\"");
  EXPECT_GT(CountPixels(*Paint(), kFieldArea, Lit), 10);
  field_->SetFocus();
  EXPECT_EQ(CountPixels(*Paint(), kFieldArea, Lit), 0);
  Type(L"M");
  window_->Manager().SetFocus(nullptr);
  EXPECT_EQ(CountPixels(*Paint(), kFieldArea, Lit), 0);  // black text on black, no tip
  field_->SetText(L"");
  EXPECT_GT(CountPixels(*Paint(), kFieldArea, Lit), 10);
}

TEST_F(Field, AttributeNamesAndValuesFollowTheirCaseRules) {
  Build(L"MultiLine=\"false\" AutoHScroll=\"true\" readonly=\"True\" tipcolor=\"#FF888888\"");
  EXPECT_FALSE(field_->IsMultiLine());
  EXPECT_EQ(field_->GetEditStyle() & kEditAutoHScroll, 0u);
  EXPECT_FALSE(field_->IsReadOnly());
  EXPECT_STREQ(field_->GetCustomAttribute(L"tipcolor"), L"#FF888888");
  EXPECT_EQ(field_->GetTipValueColor(), 0xFFBAC0C5u);
  field_->SetAttribute(L"autohscroll", L"True");
  EXPECT_EQ(field_->GetEditStyle() & kEditAutoHScroll, 0u);
  field_->SetAttribute(L"autohscroll", L"true");
  field_->SetAttribute(L"password", L"true");
  field_->SetAttribute(L"align", L"xcenterx");
  field_->SetAttribute(L"TipValueAlign", L"right");
  field_->SetAttribute(L"MAXCHAR", L"5");
  EXPECT_EQ(field_->GetEditStyle(), kEditAutoHScroll | kEditPassword | 1u);
  EXPECT_EQ(field_->GetTipValueAlign(), static_cast<UINT>(DT_SINGLELINE | DT_RIGHT));
  field_->SetFocus();
  Type(L"1234567");
  EXPECT_EQ(field_->GetText(), L"12345");
}

// The attributes the installer's skin gives its folder field: text alignment, vertical centring of the
// single line, the border, and the tip's colour at the place where typed text begins.
TEST_F(Field, AlignmentCentringBorderAndTipColourTakeEffect) {
  auto inkBox = [this](const std::function<bool(uint32_t)>& ink) {
    auto surface = Paint();
    RECT box = {kFieldArea.right, kFieldArea.bottom, 0, 0};
    for (int y = 2; y < kFieldArea.bottom - 2; ++y) {
      for (int x = 2; x < kFieldArea.right - 2; ++x) {
        if (!ink(surface->Rgb(x, y))) continue;
        box = {std::min<long>(box.left, x), std::min<long>(box.top, y), std::max<long>(box.right, x + 1),
               std::max<long>(box.bottom, y + 1)};
      }
    }
    return box;
  };
  auto red = [](uint32_t rgb) { return (rgb >> 16) > 0x80 && (rgb & 0xFFFF) < 0x4040; };

  Build(L"text=\"MMMM\" textcolor=\"#FFFF0000\" multiline=\"false\" align=\"right\" vcenter=\"true\"");
  RECT text = inkBox(red);
  EXPECT_GT(text.right, kFieldArea.right - 8);
  EXPECT_GT(text.left, kFieldArea.right / 2);
  EXPECT_LE(std::abs((text.top + text.bottom) - kFieldArea.bottom), 4) << text.top << ".." << text.bottom;

  Build(L"tipvalue=\"MMMM\" tipvaluecolor=\"#FFFF0000\" inset=\"100,0,0,0\" multiline=\"false\"");
  text = inkBox(red);
  EXPECT_GE(text.left, 100);
  EXPECT_LT(text.left, 110);

  Build(L"bordersize=\"1\" bordercolor=\"#FFFF0000\"");
  auto surface = Paint();
  for (POINT edge : {POINT{0, 15}, POINT{199, 15}, POINT{100, 0}, POINT{100, 29}})
    EXPECT_EQ(surface->Rgb(edge.x, edge.y), 0xFF0000u) << edge.x << "," << edge.y;
  EXPECT_EQ(surface->Rgb(100, 15), 0u);
}

TEST_F(Field, EditingCommandsAndTheContextMenuState) {
  auto state = [this](UINT id) {
    HMENU menu = field_->CreateContextMenu();
    const UINT flags = ::GetMenuState(menu, id, MF_BYCOMMAND);
    ::DestroyMenu(menu);
    return (flags & MF_GRAYED) == 0;
  };
  EXPECT_FALSE(state(RichEditCommand::Undo));
  EXPECT_FALSE(state(RichEditCommand::SelectAll));
  field_->SetFocus();
  Type(L"abc");
  EXPECT_TRUE(state(RichEditCommand::Undo));
  EXPECT_TRUE(state(RichEditCommand::SelectAll));
  EXPECT_FALSE(state(RichEditCommand::Copy));
  // Commands arrive as WM_COMMAND from the menu.
  ::SendMessageW(window_->Handle(), WM_COMMAND, RichEditCommand::SelectAll, 0);
  EXPECT_TRUE(state(RichEditCommand::Copy));
  ::SendMessageW(window_->Handle(), WM_COMMAND, RichEditCommand::Clear, 0);
  EXPECT_EQ(field_->GetText(), L"");
  ::SendMessageW(window_->Handle(), WM_COMMAND, RichEditCommand::Undo, 0);
  EXPECT_EQ(field_->GetText(), L"abc");
}

TEST_F(Field, DisabledFieldTakesTheWindowsDisabledColour) {
  Build(L"text=\"MMMM\" enabled=\"false\" textcolor=\"#FF000000\"");
  EXPECT_EQ(field_->GetTextColor(), window_->Manager().GetDefaultDisabledColor());
  auto surface = Paint();
  EXPECT_GT(CountPixels(*surface, kFieldArea, [](uint32_t rgb) { return (rgb & 0xFF) > ((rgb >> 16) & 0xFF); }), 0);
}

// In a layered window the engine's text has alpha 0; black text must not turn into holes.
TEST_F(Field, BlackTextStaysOpaqueInALayeredWindow) {
  Build(L"text=\"MMMM\" bkcolor=\"#FFFFFFFF\" textcolor=\"#FF000000\"", true);
  window_->ShowAndPaint();
  const uint32_t* pixels = window_->Manager().GetOffscreenBits();
  ASSERT_NE(pixels, nullptr);
  int dark = 0, holes = 0;
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 200; ++x) {
      const uint32_t pixel = pixels[y * 240 + x];
      if ((pixel & 0xFFFFFF) < 0x404040) ++dark;
      if ((pixel >> 24) == 0) ++holes;
    }
  }
  EXPECT_GT(dark, 10);
  EXPECT_EQ(holes, 0);
}

TEST_F(Field, CaretIsDrawnAndBlinksInALayeredWindow) {
  Build(L"bkcolor=\"#FFFFFFFF\" textcolor=\"#FFFF0000\"", true);
  field_->SetFocus();
  ASSERT_TRUE(field_->GetHost()->IsCaretShown());
  auto red = [](uint32_t rgb) { return rgb == 0xFF0000; };
  EXPECT_GT(CountPixels(*Paint(), kFieldArea, red), 0);
  // The caret timer toggles the self-drawn caret.
  ::SendMessageW(window_->Handle(), WM_TIMER, window_->Manager().GetTimers().front().nativeId, 0);
  EXPECT_EQ(CountPixels(*Paint(), kFieldArea, red), 0);
  ::SendMessageW(window_->Handle(), WM_TIMER, window_->Manager().GetTimers().front().nativeId, 0);
  EXPECT_GT(CountPixels(*Paint(), kFieldArea, red), 0);
}
