// Layout cases as rectangles in and out. Controls are not attached to a window here, so sizes are unscaled.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/veneer/veneer_test_support.h"
#include "veneer/container.h"
#include "veneer/layout_math.h"

using namespace Veneer;

namespace {

std::string Describe(const RECT& rc) {
  return std::to_string(rc.left) + "," + std::to_string(rc.top) + "," + std::to_string(rc.right) + "," +
         std::to_string(rc.bottom);
}

CControlUI* AddChild(CContainerUI& parent, const wchar_t* attributes) {
  auto* child = new CControlUI();
  child->ApplyAttributeList(attributes);
  parent.Add(child);
  return child;
}

}  // namespace

TEST(VerticalLayout, PaddedStretchChildTakesTheRest) {
  // 0 +----------+
  //   | h=30     |
  // 30+----------+
  //   | padding  |  275
  // 305+---------+
  //   | stretch  |  95
  // 400+---------+
  CVerticalLayoutUI layout;
  CControlUI* fixed = AddChild(layout, L"height=\"30\"");
  CControlUI* stretch = AddChild(layout, L"padding=\"0,275,0,0\"");
  layout.SetPos(MakeRect(0, 0, 600, 400), false);
  EXPECT_EQ(Describe(fixed->GetPos()), "0,0,600,30");
  EXPECT_EQ(Describe(stretch->GetPos()), "0,305,600,400");
}

TEST(VerticalLayout, CentredChildIgnoresItsSidePadding) {
  //   |<- 211 ->[ 178 ]<- 211 ->|
  CVerticalLayoutUI layout;
  layout.SetAttribute(L"childalign", L"center");
  CControlUI* button = AddChild(layout, L"width=\"178\" height=\"40\" padding=\"30,0,5,0\"");
  layout.SetPos(MakeRect(0, 0, 600, 400), false);
  EXPECT_EQ(Describe(button->GetPos()), "211,0,389,40");
}

TEST(VerticalLayout, AlignmentNamesAndValuesAreCaseSensitive) {
  CVerticalLayoutUI layout;
  layout.SetAttribute(L"childalign", L"Center");
  EXPECT_EQ(layout.GetChildAlign(), 0u);
  layout.SetAttribute(L"ChildAlign", L"center");
  EXPECT_EQ(layout.GetChildAlign(), 0u);
  layout.SetAttribute(L"ChildPadding", L"4");
  EXPECT_EQ(layout.GetChildPadding(), 4);
  layout.SetAttribute(L"childvalign", L"bottom");
  EXPECT_EQ(layout.GetChildVAlign(), 8u);
}

TEST(VerticalLayout, LastStretchChildTakesTheRoundingLeftover) {
  CVerticalLayoutUI layout;
  CControlUI* first = AddChild(layout, L"");
  CControlUI* second = AddChild(layout, L"");
  layout.SetPos(MakeRect(0, 0, 100, 101), false);
  EXPECT_EQ(first->GetHeight(), 50);
  EXPECT_EQ(second->GetHeight(), 51);
  EXPECT_EQ(second->GetPos().top, 50);
}

TEST(VerticalLayout, HiddenChildTakesNoSpaceNorPadding) {
  CVerticalLayoutUI layout;
  layout.SetAttribute(L"childpadding", L"10");
  CControlUI* a = AddChild(layout, L"height=\"20\"");
  AddChild(layout, L"height=\"20\" visible=\"false\"");
  CControlUI* c = AddChild(layout, L"height=\"20\"");
  layout.SetPos(MakeRect(0, 0, 50, 200), false);
  EXPECT_EQ(Describe(a->GetPos()), "0,0,50,20");
  EXPECT_EQ(Describe(c->GetPos()), "0,30,50,50");
}

TEST(VerticalLayout, OverfullFixedChildrenSqueezeStretchToItsMinimum) {
  CVerticalLayoutUI layout;
  AddChild(layout, L"height=\"80\"");
  CControlUI* stretch = AddChild(layout, L"minheight=\"5\"");
  CControlUI* last = AddChild(layout, L"height=\"80\"");
  layout.SetPos(MakeRect(0, 0, 50, 100), false);
  EXPECT_EQ(Describe(stretch->GetPos()), "0,80,50,85");
  EXPECT_EQ(Describe(last->GetPos()), "0,85,50,165");  // continues past the bottom
}

TEST(VerticalLayout, InsetAndBottomAlignmentWithoutStretch) {
  CVerticalLayoutUI layout;
  layout.SetAttribute(L"inset", L"10,10,10,10");
  layout.SetAttribute(L"childvalign", L"bottom");
  CControlUI* a = AddChild(layout, L"height=\"20\" padding=\"0,0,0,5\"");
  layout.SetPos(MakeRect(0, 0, 100, 100), false);
  EXPECT_EQ(Describe(a->GetPos()), "10,65,90,85");
}

TEST(HorizontalLayout, StretchSpacerBetweenLabelAndButtons) {
  //   [label 100][     spacer     ][b 30][b 30]
  CHorizontalLayoutUI layout;
  CControlUI* label = AddChild(layout, L"width=\"100\" padding=\"0,4,0,6\"");
  CControlUI* spacer = AddChild(layout, L"width=\"stretch\"");
  CControlUI* min = AddChild(layout, L"width=\"30\" height=\"30\"");
  CControlUI* close = AddChild(layout, L"width=\"30\" height=\"30\"");
  layout.SetPos(MakeRect(0, 0, 600, 40), false);
  EXPECT_EQ(Describe(label->GetPos()), "0,4,100,34");  // full height less its own padding
  EXPECT_EQ(Describe(spacer->GetPos()), "100,0,540,40");
  EXPECT_EQ(Describe(min->GetPos()), "540,0,570,30");
  EXPECT_EQ(Describe(close->GetPos()), "570,0,600,30");
}

TEST(HorizontalLayout, CentredRowAndVerticalCentring) {
  CHorizontalLayoutUI layout;
  layout.SetAttribute(L"childalign", L"center");
  layout.SetAttribute(L"childvalign", L"vcenter");
  layout.SetAttribute(L"childpadding", L"10");
  CControlUI* a = AddChild(layout, L"width=\"40\" height=\"20\"");
  CControlUI* b = AddChild(layout, L"width=\"50\" height=\"10\"");
  layout.SetPos(MakeRect(0, 0, 200, 60), false);
  EXPECT_EQ(Describe(a->GetPos()), "50,20,90,40");  // free 100, half of it before the row
  EXPECT_EQ(Describe(b->GetPos()), "100,25,150,35");
}

TEST(PlainContainer, EveryChildGetsTheInnerRectangle) {
  CContainerUI container;
  container.SetAttribute(L"inset", L"1,2,3,4");
  CControlUI* a = AddChild(container, L"maxwidth=\"20\"");
  container.SetPos(MakeRect(0, 0, 100, 100), false);
  EXPECT_EQ(Describe(a->GetPos()), "1,2,21,96");
}

TEST(LayoutArithmetic, EstimateDrivesStretchAndLimits) {
  // A child whose estimate depends on the offered width, as text does.
  std::vector<LayoutChild> children(2);
  children[0].estimate = [](SIZE available) { return MakeSize(0, available.cx > 100 ? 10 : 20); };
  children[1].estimate = [](SIZE) { return MakeSize(0, 0); };
  children[1].maxSize = MakeSize(9999, 25);
  const LinearLayoutResult result = LayoutVertical(MakeRect(0, 0, 200, 100), 0, 0, 0, children);
  EXPECT_EQ(Describe(result.positions[0]), "0,0,200,10");
  EXPECT_EQ(Describe(result.positions[1]), "0,10,200,35");  // stretch capped by its maximum
  EXPECT_TRUE(LayoutHorizontal(MakeRect(0, 0, 10, 10), 0, 0, 0, {}).positions.empty());
}

TEST(LayoutScaling, SizesAndPaddingsFollowTheWindowDpi) {
  VeneerTest::TestWindow window(300, 300);
  window.Manager().SetDPI(144);  // 150 %
  auto* layout = new CVerticalLayoutUI();
  CControlUI* a = AddChild(*layout, L"height=\"30\" padding=\"0,10,0,0\"");
  CControlUI* b = AddChild(*layout, L"width=\"3\" height=\"-1\"");
  window.Manager().AttachDialog(layout);
  layout->SetPos(MakeRect(0, 0, 300, 300), false);
  EXPECT_EQ(Describe(a->GetPos()), "0,15,300,60");
  EXPECT_EQ(b->GetFixedWidth(), 4);   // 3 * 150 / 100 = 4.5, truncated
  EXPECT_EQ(b->GetFixedHeight(), 0);  // a negative height was ignored
  EXPECT_EQ(Describe(b->GetPos()), "0,60,4,300");
}
