#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/veneer/controls_test_support.h"
#include "veneer/attribute_text.h"
#include "veneer/container.h"

using namespace Veneer;

TEST(ControlAttributes, PosWithNegativeCoordinatesAndSizesThatAreNotFixed) {
  CControlUI control;
  control.SetAttribute(L"pos", L"-10,5,-110,45");
  EXPECT_EQ(control.GetFixedXY().cx, -110);
  EXPECT_EQ(control.GetFixedXY().cy, 5);
  EXPECT_EQ(control.GetFixedWidth(), 100);
  EXPECT_EQ(control.GetFixedHeight(), 40);
  control.SetAttribute(L"width", L"stretch");
  EXPECT_EQ(control.GetFixedWidth(), 0);
  control.SetAttribute(L"Height", L"30");
  control.SetAttribute(L"height", L"-5");  // negative: ignored
  EXPECT_EQ(control.GetFixedHeight(), 30);
}

TEST(ControlAttributes, UnknownNamesBecomeCustomAttributesAndTheFirstValueStays) {
  CControlUI control;
  control.SetAttribute(L"borderwidth", L"2");
  control.SetAttribute(L"borderwidth", L"7");
  control.SetAttribute(L"empty", L"");
  EXPECT_STREQ(control.GetCustomAttribute(L"borderwidth"), L"2");
  EXPECT_EQ(control.GetCustomAttribute(L"empty"), nullptr);
  EXPECT_EQ(control.GetBorderSize(), 0);
}

TEST(ControlAttributes, ColoursBooleansAndTexts) {
  CControlUI control;
  control.ApplyAttributeList(
      L"bkcolor=\" #FFFFFFFF\" bkcolor2=\"#FFFFFF\" visible=\"TRUE\" enabled=\"yes\" "
      L"text=\"one{\\n}two\" tooltip=\"a<n>b\" shortcut=\"Q\" cursor=\"hand\"");
  EXPECT_EQ(control.GetBkColor(), 0xFFFFFFFFu);
  EXPECT_EQ(control.GetBkColor2(), 0x00FFFFFFu);  // six digits: alpha 0
  EXPECT_TRUE(control.IsVisible());
  EXPECT_FALSE(control.IsEnabled());
  EXPECT_EQ(control.GetText(), L"one\ntwo");
  EXPECT_EQ(control.GetToolTip(), L"a\r\nb");
  EXPECT_EQ(control.GetShortcut(), L'Q');
  EXPECT_EQ(control.GetCursor(), static_cast<WORD>(reinterpret_cast<ULONG_PTR>(IDC_HAND)));
}

TEST(ControlAttributes, AttributeListsStopAtTheFirstBrokenPair) {
  std::vector<std::wstring> seen;
  ForEachAttribute(L"\tname=\"a\",width=&quot;30&quot; height=\"4\" bad=5 text=\"x\"",
                   [&seen](const std::wstring& n, const std::wstring& v) { seen.push_back(n + L"=" + v); });
  EXPECT_EQ(seen, (std::vector<std::wstring>{L"name=a", L"width=30", L"height=4"}));
}

TEST(ControlAttributes, StylesApplyThroughTheManager) {
  VeneerTest::TestWindow window;
  window.Manager().AddStyle(L"big", L"width=\"300\" height=\"40\"");
  window.Manager().AddStyle(L"loop", L"loop");
  auto* control = new CControlUI();
  window.Manager().AttachDialog(control);
  control->SetAttribute(L"style", L"big");
  EXPECT_EQ(control->GetFixedWidth(), 300);
  control->ApplyAttributeList(L"loop");  // a style naming itself ends without recursing forever
  control->SetAttribute(L"style", L"unknown");
  EXPECT_STREQ(control->GetCustomAttribute(L"style"), L"unknown");
}

TEST(ControlFocus, HidingTheFocusedControlClearsTheWindowFocus) {
  VeneerTest::TestWindow window;
  auto* root = new CVerticalLayoutUI();
  auto* child = new CControlUI();
  root->Add(child);
  window.Manager().AttachDialog(root);
  child->SetFocus();
  ASSERT_EQ(window.Manager().GetFocus(), child);
  EXPECT_TRUE(child->IsFocused());
  child->SetVisible(false);
  EXPECT_EQ(window.Manager().GetFocus(), nullptr);
  EXPECT_FALSE(child->IsFocused());
  child->SetVisible(true);
  root->SetVisible(false);  // hiding the container hides the child internally
  EXPECT_FALSE(child->IsVisible());
}

TEST(ControlSearch, HitTestSkipsHiddenAndMouseDisabledControls) {
  CHorizontalLayoutUI root;
  auto* a = new CControlUI();
  auto* b = new CControlUI();
  a->SetAttribute(L"width", L"50");
  root.Add(a);
  root.Add(b);
  root.SetPos(MakeRect(0, 0, 100, 20), false);
  auto hit = [](CControlUI* c, void* data) -> CControlUI* {
    return Contains(c->GetPos(), *static_cast<POINT*>(data)) ? c : nullptr;
  };
  POINT inA = {10, 10};
  POINT inB = {60, 10};
  const UINT flags = kFindVisible | kFindHitTest | kFindTopFirst;
  EXPECT_EQ(root.FindControl(hit, &inA, flags), a);
  EXPECT_EQ(root.FindControl(hit, &inB, flags), b);
  a->SetMouseEnabled(false);
  EXPECT_EQ(root.FindControl(hit, &inA, flags), &root);
  b->SetVisible(false);
  root.SetPos(MakeRect(0, 0, 100, 20), false);
  EXPECT_EQ(root.FindControl(hit, &inB, flags), &root);
}

class ControlPainting : public VeneerTest::ControlTree {};

TEST_F(ControlPainting, BackgroundColourRules) {
  CControlUI* control = Attach(new CControlUI(), 10, 10);
  control->SetAttribute(L"bkcolor", L"#FFFF0000");
  VeneerTest::Surface surface(10, 10, 0xFF000000);
  control->Paint(surface.Dc(), MakeRect(0, 0, 5, 5));
  EXPECT_EQ(surface.Rgb(2, 2), 0xFF0000u);
  EXPECT_EQ(surface.Rgb(8, 8), 0x000000u);  // an opaque colour fills only the painted part
  control->SetAttribute(L"bkcolor", L"#80FFFFFF");
  VeneerTest::Surface blended(10, 10, 0xFF000000);
  control->Paint(blended.Dc(), MakeRect(0, 0, 5, 5));
  EXPECT_NEAR(static_cast<int>(blended.Rgb(8, 8) & 0xFF), 0x80, 2);  // a translucent one covers the item
}

TEST_F(ControlPainting, BorderNeedsASize) {
  CControlUI* control = Attach(new CControlUI(), 10, 10);
  control->SetAttribute(L"bordercolor", L"#FF00FF00");
  EXPECT_EQ(Paint()->Rgb(0, 0), 0u);
  control->SetAttribute(L"bordersize", L"1");
  auto framed = Paint();
  EXPECT_EQ(framed->Rgb(0, 5), 0x00FF00u);
  EXPECT_EQ(framed->Rgb(5, 5), 0u);
  control->SetAttribute(L"bordersize", L"0,0,0,2");  // bottom side only
  auto bottom = Paint();
  EXPECT_EQ(bottom->Rgb(5, 9), 0x00FF00u);
  EXPECT_EQ(bottom->Rgb(0, 5), 0u);
}

TEST_F(ControlPainting, ChildrenAreClippedToTheContainersInset) {
  auto* root = new CVerticalLayoutUI();
  root->ApplyAttributeList(L"bkcolor=\"#FF0000FF\" inset=\"2,2,2,2\"");
  auto* child = new CControlUI();
  child->ApplyAttributeList(L"bkcolor=\"#FFFF0000\" height=\"6\" padding=\"-4,-4,0,0\"");
  root->Add(child);
  Attach(root, 20, 20);
  auto surface = Paint();
  EXPECT_EQ(surface->Rgb(1, 1), 0x0000FFu);  // the child reaches here but is clipped to the inner area
  EXPECT_EQ(surface->Rgb(3, 3), 0xFF0000u);
  EXPECT_EQ(surface->Rgb(10, 15), 0x0000FFu);
}
