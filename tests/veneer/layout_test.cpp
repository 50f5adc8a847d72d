// Layout cases as rectangles in and out. Controls are not attached to a window here, so sizes are unscaled.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/veneer/veneer_test_support.h"
#include "veneer/container.h"
#include "veneer/layout_math.h"

using namespace Veneer;
using VeneerTest::Describe;

namespace {

CControlUI* AddChild(CContainerUI& parent, const wchar_t* attributes) {
  auto* child = new CControlUI();
  child->ApplyAttributeList(attributes);
  parent.Add(child);
  return child;
}

}  // namespace

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

namespace {

// Each case: the layout's kind ('V'ertical, 'H'orizontal or plain 'C'ontainer) and attributes, its
// children's attributes, its size, and where each child lands; children and places are separated by " | ",
// and "*" marks a place the case does not look at.
struct LayoutCase {
  const char* what;
  char kind;
  const wchar_t* attributes;
  std::wstring children;
  int width, height;
  std::string places;
};

template <typename Text>
std::vector<Text> Split(const Text& text) {
  const Text bar = {' ', '|', ' '};
  std::vector<Text> parts;
  size_t start = 0;
  for (size_t at; (at = text.find(bar, start)) != Text::npos; start = at + bar.size())
    parts.push_back(text.substr(start, at - start));
  parts.push_back(text.substr(start));
  return parts;
}

}  // namespace

TEST(LinearLayouts, ChildrenLandWhereTheirSizesPaddingsAndAlignmentSay) {
  const LayoutCase cases[] = {
      {"padded stretch child takes the rest", 'V', L"", L"height=\"30\" | padding=\"0,275,0,0\"", 600, 400,
       "0,0,600,30 | 0,305,600,400"},
      {"centred child ignores its side padding", 'V', L"childalign=\"center\"",
       L"width=\"178\" height=\"40\" padding=\"30,0,5,0\"", 600, 400, "211,0,389,40"},
      {"last stretch child takes the rounding leftover", 'V', L"", L" | ", 100, 101, "0,0,100,50 | 0,50,100,101"},
      {"hidden child takes no space nor padding", 'V', L"childpadding=\"10\"",
       L"height=\"20\" | height=\"20\" visible=\"false\" | height=\"20\"", 50, 200, "0,0,50,20 | * | 0,30,50,50"},
      {"overfull fixed children squeeze stretch to its minimum and run past the bottom", 'V', L"",
       L"height=\"80\" | minheight=\"5\" | height=\"80\"", 50, 100, "* | 0,80,50,85 | 0,85,50,165"},
      {"inset and bottom alignment without stretch", 'V', L"inset=\"10,10,10,10\" childvalign=\"bottom\"",
       L"height=\"20\" padding=\"0,0,0,5\"", 100, 100, "10,65,90,85"},
      {"stretch spacer between a label (full height less its padding) and two buttons", 'H', L"",
       L"width=\"100\" padding=\"0,4,0,6\" | width=\"stretch\" | width=\"30\" height=\"30\" | width=\"30\" "
       L"height=\"30\"",
       600, 40, "0,4,100,34 | 100,0,540,40 | 540,0,570,30 | 570,0,600,30"},
      {"centred row, half the free 100 before it, centred vertically", 'H',
       L"childalign=\"center\" childvalign=\"vcenter\" childpadding=\"10\"",
       L"width=\"40\" height=\"20\" | width=\"50\" height=\"10\"", 200, 60, "50,20,90,40 | 100,25,150,35"},
      {"a plain container gives every child the inner rectangle", 'C', L"inset=\"1,2,3,4\"", L"maxwidth=\"20\"", 100,
       100, "1,2,21,96"},
  };
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::unique_ptr<CContainerUI> layout;
    if (c.kind == 'V')
      layout = std::make_unique<CVerticalLayoutUI>();
    else if (c.kind == 'H')
      layout = std::make_unique<CHorizontalLayoutUI>();
    else
      layout = std::make_unique<CContainerUI>();
    layout->ApplyAttributeList(c.attributes);
    std::vector<CControlUI*> children;
    for (const std::wstring& attributes : Split(c.children)) children.push_back(AddChild(*layout, attributes.c_str()));
    layout->SetPos(MakeRect(0, 0, c.width, c.height), false);
    const std::vector<std::string> places = Split(c.places);
    ASSERT_EQ(places.size(), children.size());
    for (size_t i = 0; i < children.size(); ++i) {
      if (places[i] != "*") {
        EXPECT_EQ(Describe(children[i]->GetPos()), places[i]) << "child " << i;
      }
    }
  }
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
