// The rich edit field on the platform's windowless text engine: typing, notifications, the tip, the
// Enter rule, commands, attributes and painting in a layered window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/veneer/veneer_test_support.h"
#include "veneer/rich_edit.h"

using namespace Veneer;

namespace {

class NotifyLog : public INotifyUI {
 public:
  void Notify(NotifyRecord& msg) override { types.push_back(msg.type); }
  int Count(const wchar_t* type) const {
    int n = 0;
    for (const auto& t : types) n += t == type ? 1 : 0;
    return n;
  }
  std::vector<std::wstring> types;
};

// A window with a vertical layout holding one field of 200 x 30 at the top and a spacer below.
class FieldFixture : public ::testing::Test {
 protected:
  void SetUp() override { Build(L""); }
  void Build(const wchar_t* attributes, DWORD exStyle = 0) {
    window_ = std::make_unique<VeneerTest::TestWindow>(240, 80, exStyle);
    auto* root = new CVerticalLayoutUI();
    field_ = new CRichEditUI();
    field_->ApplyAttributeList(L"name=\"path\" width=\"200\" height=\"30\"");
    field_->ApplyAttributeList(attributes);
    root->Add(field_);
    root->Add(new CControlUI());
    window_->Manager().AttachDialog(root);
    window_->Manager().AddNotifier(&log_);
    root->SetPos(RECT{0, 0, 240, 80}, false);
  }
  void Type(const std::wstring& text) {
    for (wchar_t c : text) ::SendMessageW(window_->Handle(), WM_CHAR, c, 1);
  }
  void Key(WPARAM key) {
    ::SendMessageW(window_->Handle(), WM_KEYDOWN, key, 1);
    ::SendMessageW(window_->Handle(), WM_KEYUP, key, 0xC0000001);
  }

  std::unique_ptr<VeneerTest::TestWindow> window_;
  CRichEditUI* field_ = nullptr;
  NotifyLog log_;
};

}  // namespace

TEST_F(FieldFixture, TheEngineIsCreatedWhenTheFieldJoinsAWindow) {
  ASSERT_NE(field_->GetHost(), nullptr);
  ASSERT_NE(field_->GetHost()->GetTextServices(), nullptr);
  // The engine's rectangle is the item rectangle.
  const RECT client = field_->GetHost()->GetClientRect();
  EXPECT_EQ(client.right - client.left, 200);
  EXPECT_EQ(client.bottom - client.top, 30);
}

TEST_F(FieldFixture, TypingProducesOneTextChangedPerCharacterAndGetTextReadsTheEngine) {
  field_->SetFocus();
  ASSERT_TRUE(field_->IsFocused());
  Type(L"C:\\Quillon");
  EXPECT_EQ(field_->GetText(), L"C:\\Quillon");
  EXPECT_EQ(log_.Count(L"textchanged"), 10);
  Key(VK_BACK);
  EXPECT_EQ(field_->GetText(), L"C:\\Quillo");
  EXPECT_EQ(log_.Count(L"textchanged"), 11);
}
