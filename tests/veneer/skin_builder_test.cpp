// The skin builder and the control factory: resources before controls, window attributes with their
// case rules, includes, default attribute lists, the factory's names and the builder's callback.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>

#include "tests/support/temp_folder.h"
#include "tests/veneer/controls_test_support.h"
#include "veneer/button.h"
#include "veneer/container.h"
#include "veneer/control_factory.h"
#include "veneer/label.h"
#include "veneer/skin_builder.h"

using namespace Veneer;
using VeneerTest::TestWindow;

namespace {

// Creates "Probe" elements and records what the manager held when each was made.
class ProbeCallback : public IDialogBuilderCallback {
 public:
  explicit ProbeCallback(CPaintManagerUI* manager) : manager_(manager) {}
  CControlUI* CreateControl(const wchar_t* className) override {
    asked.push_back(className);
    if (std::wstring(className) != L"Probe") return nullptr;
    fontOneFace.push_back(manager_->GetFontInfo(1)->faceName);
    auto* control = new CControlUI();
    control->OnDestroy.Add([this](CControlUI*) {
      ++destroyed;
      return true;
    });
    return control;
  }
  std::vector<std::wstring> asked;
  std::vector<std::wstring> fontOneFace;
  int destroyed = 0;

 private:
  CPaintManagerUI* manager_;
};

class Builder : public ::testing::Test {
 protected:
  // Builds markup for the test window's manager (no parent); the tree is attached so it is freed.
  CControlUI* Build(const wchar_t* markup, IDialogBuilderCallback* callback = nullptr) {
    CSkinBuilder builder;
    CControlUI* root = builder.Create(markup, nullptr, callback, &window_.Manager());
    error_ = builder.GetLastErrorMessage();
    if (root != nullptr) window_.Manager().AttachDialog(root);
    return root;
  }
  SIZE WindowSize() {
    RECT rc{};
    ::GetWindowRect(window_.Handle(), &rc);
    return SIZE{rc.right - rc.left, rc.bottom - rc.top};
  }
  static CContainerUI* AsContainer(CControlUI* control) {
    return static_cast<CContainerUI*>(control->GetInterface(L"Container"));
  }

  TestWindow window_{100, 100};
  std::wstring error_;
};

}  // namespace

TEST_F(Builder, FontsAreRegisteredBeforeAnyControlAndFontZeroIsTheDefault) {
  const std::wstring before = window_.Manager().GetDefaultFontInfo()->faceName;
  ASSERT_NE(Build(LR"(<Window><Font name="Courier New" size="30" default="true"/><Control/></Window>)"), nullptr);
  EXPECT_EQ(window_.Manager().GetDefaultFontInfo()->faceName, before);  // a default without id changes nothing
  EXPECT_EQ(window_.Manager().GetFontInfo(-1)->faceName, before);

  ProbeCallback probe(&window_.Manager());
  CControlUI* root = Build(
      LR"(<Window>
      <VerticalLayout name="top"><Probe/></VerticalLayout>
      <Font id="0" name="Courier New" size="20" default="true"/>
      <Font id="1" name="Arial" size="11"/>
    </Window>)",
      &probe);
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->GetName(), L"top");
  ASSERT_EQ(probe.fontOneFace.size(), 1u);
  EXPECT_EQ(probe.fontOneFace[0], L"Arial");
  TFontInfo* fallback = window_.Manager().GetDefaultFontInfo();
  EXPECT_EQ(fallback->faceName, L"Courier New");
  EXPECT_EQ(fallback->size, 20);
  EXPECT_EQ(window_.Manager().GetFontInfo(0)->size, 20);
}

TEST_F(Builder, ElementNamesAreExactWhileResourceAndStructureNamesIgnoreCase) {
  ProbeCallback probe(&window_.Manager());
  CControlUI* root = Build(
      LR"(<window size="300,200">
      <font id="2" name="Arial" size="9"/>
      <VerticalLayout><button name="lower"/><Button name="upper"/><Widget/></VerticalLayout>
    </window>)",
      &probe);
  ASSERT_NE(root, nullptr);
  CContainerUI* layout = AsContainer(root);
  ASSERT_EQ(layout->GetCount(), 1);
  EXPECT_EQ(layout->GetItemAt(0)->GetName(), L"upper");
  EXPECT_EQ(window_.Manager().GetFontInfo(2)->faceName, L"Arial");
  EXPECT_EQ(WindowSize().cx, 300);
  // The callback hears the plain element names the factory did not know.
  EXPECT_EQ(probe.asked, (std::vector<std::wstring>{L"button", L"Widget"}));
}

TEST_F(Builder, DefaultListAppliesFirstAndTheElementOverrides) {
  CControlUI* root = Build(
      LR"(<Window>
      <Default name="Button" value="width=&quot;50&quot; height=&quot;20&quot; text=&quot;ok&quot;"/>
      <VerticalLayout><Button width="70"/><Label/></VerticalLayout>
    </Window>)");
  ASSERT_NE(root, nullptr);
  CControlUI* button = AsContainer(root)->GetItemAt(0);
  EXPECT_EQ(button->GetFixedWidth(), 70);
  EXPECT_EQ(button->GetFixedHeight(), 20);
  EXPECT_EQ(button->GetText(), L"ok");
  EXPECT_EQ(AsContainer(root)->GetItemAt(1)->GetFixedWidth(), 0);
}

TEST_F(Builder, WindowAttributesFollowTheirCaseExceptions) {
  ASSERT_NE(Build(LR"(<Window BkTrans="true" Caption="0,0,0,-1" RoundCorner="15,15" gdiplustext="TRUE"
                              DefaultFontColor="#FF102030" shadowsize="4"><Control/></Window>)"),
            nullptr);
  EXPECT_FALSE(window_.Manager().IsLayered());
  const RECT caption = window_.Manager().GetCaptionRect();
  EXPECT_EQ(caption.bottom, -1);
  EXPECT_EQ(window_.Manager().GetRoundCorner().cx, 15);
  EXPECT_TRUE(window_.Manager().IsUseGdiplusText());
  EXPECT_EQ(window_.Manager().GetDefaultFontColor(), 0xFF102030u);
  Build(LR"(<Window bktrans="true"><Control/></Window>)");
  EXPECT_TRUE(window_.Manager().IsLayered());
}

TEST_F(Builder, IncludeWithCountAddsTheIncludedControlsThatOften) {
  TempFolder skins(L"veneer-skins");
  std::ofstream(skins.Path() / L"row.xml") << R"(<Row><Label name="item"/><Control/></Row>)";
  CPaintManagerUI::SetResourcePath(skins.Path().wstring().c_str());
  CControlUI* root = Build(
      LR"(<Window><HorizontalLayout><Include source="row.xml" count="3"/>
      <Include source="row.xml" count="0"/></HorizontalLayout></Window>)");
  CPaintManagerUI::SetResourcePath(L"");
  ASSERT_NE(root, nullptr);
  CContainerUI* layout = AsContainer(root);
  ASSERT_EQ(layout->GetCount(), 6);
  EXPECT_EQ(layout->GetItemAt(0)->GetClass(), std::wstring(L"LabelUI"));
  EXPECT_EQ(layout->GetItemAt(4)->GetClass(), std::wstring(L"LabelUI"));
  EXPECT_EQ(window_.Manager().FindControl(L"item"), layout->GetItemAt(4));  // the last one registered
}

TEST_F(Builder, SkinAndIncludesFromProgramResources) {
  CSkinBuilder builder;
  builder.SetInstance(::GetModuleHandleW(nullptr));
  CControlUI* root = builder.Create(MAKEINTRESOURCEW(201), L"SKIN", nullptr, &window_.Manager());
  ASSERT_NE(root, nullptr);
  window_.Manager().AttachDialog(root);
  CContainerUI* body = AsContainer(root);
  ASSERT_EQ(body->GetCount(), 3);
  EXPECT_EQ(body->GetItemAt(0)->GetText(), L"提示");
  EXPECT_EQ(body->GetItemAt(2)->GetName(), L"row_button");
  EXPECT_EQ(WindowSize().cx, 320);
  EXPECT_EQ(CSkinBuilder().Create(MAKEINTRESOURCEW(299), L"SKIN", nullptr, &window_.Manager()), nullptr);
}

// The archive as a file in the resource folder, and where it lies in memory (as the installer hands over
// its skin resource): then no folder is read, so bytes that are no archive build nothing.
TEST_F(Builder, SkinFileFromTheSkinArchive) {
  const std::string archive = ReadFileBytes(VeneerTest::FixturePath(L"skin.zip"));
  const std::string notAnArchive = "PK\x05\x06 is no directory";
  VeneerTest::ResourceSettingsReset reset;
  for (const std::string* bytes : {static_cast<const std::string*>(nullptr), &archive, &notAnArchive}) {
    CPaintManagerUI::SetResourcePath(VeneerTest::FixturePath(L"").c_str());
    if (bytes == nullptr)
      CPaintManagerUI::SetResourceZip(L"skin.zip");
    else
      CPaintManagerUI::SetResourceZip(bytes->data(), bytes->size());
    TestWindow window(100, 100);
    CSkinBuilder builder;
    CControlUI* root = builder.Create(L"main.xml", nullptr, nullptr, &window.Manager());
    if (bytes == &notAnArchive) {
      EXPECT_EQ(root, nullptr);
      EXPECT_EQ(std::wstring(builder.GetLastErrorMessage()), L"Error opening zip file");
      continue;
    }
    ASSERT_NE(root, nullptr) << builder.GetLastErrorMessage();
    window.Manager().AttachDialog(root);
    EXPECT_EQ(root->GetName(), L"root");
    RECT rc{};
    ::GetWindowRect(window.Handle(), &rc);
    EXPECT_EQ(rc.right - rc.left, 600);
  }
}

TEST_F(Builder, LoadFailuresReturnNothingAndKeepTheMessage) {
  EXPECT_EQ(Build(L"<Window><Label></Window>"), nullptr);
  EXPECT_EQ(error_, L"Unmatched closing tag");
  EXPECT_EQ(Build(L"missing_skin_file.xml"), nullptr);
  EXPECT_EQ(error_, L"Error opening file");
  EXPECT_EQ(Build(L"<Window><!-- nothing --></Window>"), nullptr);
}

// Only the first top-level control is handed out; without a parent nothing would own the others. Controls
// that the builder destroys itself were named while attached for their attributes: a second top-level
// control, included controls without a parent, a container that a non-container refused (the level goes on
// after it). They are destroyed, not lost, and their names, and those of everything below them, go with them.
TEST_F(Builder, ControlsTheBuilderDestroysLeaveNoNames) {
  TempFolder skins(L"veneer-skins");
  std::ofstream(skins.Path() / L"row.xml")
      << R"(<Row><VerticalLayout name="included"><Label name="included_child"/></VerticalLayout></Row>)";
  CPaintManagerUI::SetResourcePath(skins.Path().wstring().c_str());
  const struct {
    const wchar_t* markup;
    std::vector<const wchar_t*> gone;
  } cases[] = {
      {LR"(<Window><Label name="first"/><VerticalLayout name="second"><Label name="second_child"/><Probe/>
           </VerticalLayout></Window>)",
       {L"second", L"second_child"}},
      {LR"(<Window><Label name="first"/><Include source="row.xml"/></Window>)", {L"included", L"included_child"}},
      {LR"(<Window><VerticalLayout name="first"><Label><HorizontalLayout><Label name="refused_child"/>
           </HorizontalLayout></Label><Button name="after"/></VerticalLayout></Window>)",
       {L"refused_child"}}};
  ProbeCallback probe(&window_.Manager());
  for (const auto& c : cases) {
    CControlUI* root = Build(c.markup, &probe);
    ASSERT_NE(root, nullptr) << error_;
    EXPECT_EQ(window_.Manager().FindControl(L"first"), root);
    for (const wchar_t* name : c.gone) EXPECT_EQ(window_.Manager().FindControl(name), nullptr) << name;
  }
  EXPECT_EQ(probe.destroyed, 1);
  ASSERT_NE(window_.Manager().FindControl(L"after"), nullptr);
  EXPECT_EQ(window_.Manager().FindControl(L"after")->GetParent(), window_.Manager().FindControl(L"first"));
  CPaintManagerUI::SetResourcePath(L"");
}

// Skins beyond the builder's limits build nothing and report which limit, like any skin that does not
// load; a skin just within them builds.
TEST_F(Builder, SkinsBeyondTheLimitsBuildNothing) {
  TempFolder skins(L"veneer-skins");
  auto nested = [](const wchar_t* root, int levels, const wchar_t* inner) {
    std::wstring text = std::wstring(L"<") + root + L">";
    for (int i = 0; i < levels; ++i) text += L"<VerticalLayout>";
    text += inner;
    for (int i = 0; i < levels; ++i) text += L"</VerticalLayout>";
    return text + L"</" + root + L">";
  };
  std::wofstream(skins.Path() / L"self.xml")
      << LR"(<Row><VerticalLayout><Include source="self.xml"/></VerticalLayout></Row>)";
  std::wofstream(skins.Path() / L"row.xml") << LR"(<Row><Control/></Row>)";
  std::wofstream(skins.Path() / L"deep.xml") << nested(L"Row", 200, L"<Control/>");
  CPaintManagerUI::SetResourcePath(skins.Path().wstring().c_str());
  const std::pair<std::wstring, const wchar_t*> refused[] = {
      {nested(L"Window", 300, L"<Control/>"), L"Elements nested too deeply"},
      {nested(L"Window", 100, LR"(<Include source="deep.xml"/>)"), L"Elements nested too deeply"},
      {LR"(<Window><VerticalLayout name="top"><Include source="self.xml"/></VerticalLayout></Window>)",
       L"Includes nested too deeply"},
      {LR"(<Window><VerticalLayout name="top"><Include source="row.xml" count="2147483647"/></VerticalLayout>
           </Window>)",
       L"Too many controls"}};
  for (const auto& [markup, message] : refused) {
    EXPECT_EQ(Build(markup.c_str()), nullptr) << message;
    EXPECT_EQ(error_, message);
    EXPECT_EQ(window_.Manager().FindControl(L"top"), nullptr);
  }
  EXPECT_NE(Build(nested(L"Window", 50, LR"(<Include source="deep.xml"/>)").c_str()), nullptr) << error_;
  CPaintManagerUI::SetResourcePath(L"");
}

// An archive that declares gigabytes for a few bytes decides nothing about memory: the image and the font
// file are not loaded, and the skin that names them still builds.
TEST_F(Builder, DeclaredSizesBeyondTheLimitLoadNothing) {
  const std::string archive = ReadFileBytes(VeneerTest::FixturePath(L"declares_4gib.zip"));
  CPaintManagerUI::SetResourceZip(archive.data(), archive.size());
  EXPECT_EQ(window_.Manager().AddImage(L"big.png"), nullptr);
  CControlUI* root = Build(LR"(<Window><Import fontfile="big.ttf"/><Control name="after"/></Window>)");
  CPaintManagerUI::SetResourceZip(L"");
  ASSERT_NE(root, nullptr) << error_;
  EXPECT_EQ(root->GetName(), L"after");
}

// Building into a container of a live window keeps the new controls attached to that window.
TEST_F(Builder, ControlsBuiltIntoALiveParentStayAttached) {
  CControlUI* root = Build(LR"(<Window><VerticalLayout name="host"/></Window>)");
  ASSERT_NE(root, nullptr);
  CSkinBuilder builder;
  CControlUI* added =
      builder.Create(LR"(<Part><Label name="late" text="x"/></Part>)", nullptr, nullptr, &window_.Manager(), root);
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(added->GetManager(), &window_.Manager());
  EXPECT_EQ(added->GetParent(), root);
  EXPECT_EQ(window_.Manager().FindControl(L"late"), added);
}

TEST(ControlFactory, RegistersEveryNameAndTheSixAliases) {
  CControlFactory* factory = CControlFactory::GetInstance();
  EXPECT_EQ(factory->Count(), 48u + 6u);
  EXPECT_FALSE(factory->IsRegistered(L"CButtonui"));
  const std::pair<const wchar_t*, const wchar_t*> created[] = {
      {L"CHBoxUI", L"HorizontalLayoutUI"}, {L"CBoxUI", L"ContainerUI"}, {L"CRichEditUI", L"RichEditUI"}};
  for (const auto& [name, className] : created) {
    std::unique_ptr<CControlUI> control(factory->CreateControl(name));
    ASSERT_NE(control, nullptr) << testing::PrintToString(std::wstring(name));
    EXPECT_STREQ(control->GetClass(), className);
  }
  // Registered names without a control of their own create nothing, nor do markup names.
  EXPECT_TRUE(factory->IsRegistered(L"CListUI"));
  EXPECT_EQ(factory->CreateControl(L"CListUI"), nullptr);
  EXPECT_EQ(factory->CreateControl(L"Button"), nullptr);
}
