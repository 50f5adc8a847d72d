#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/veneer/controls_test_support.h"
#include "veneer/container.h"
#include "veneer/name_table.h"

using namespace Veneer;
using VeneerTest::NotifyLog;

namespace {

// Records the events a control receives as "name:event".
void Watch(CControlUI* control, std::vector<std::wstring>* log) {
  control->OnEvent.Add([control, log](EventRecord* event) {
    const wchar_t* kind = L"other";
    switch (event->type) {
      case UiEvent::MouseEnter: kind = L"enter"; break;
      case UiEvent::MouseLeave: kind = L"leave"; break;
      case UiEvent::MouseMove: kind = L"move"; break;
      case UiEvent::ButtonDown: kind = L"down"; break;
      case UiEvent::ButtonUp: kind = L"up"; break;
      default: return true;
    }
    log->push_back(control->GetName() + L":" + kind);
    return true;
  });
}

CControlUI* NamedChild(CContainerUI* parent, const wchar_t* name, const wchar_t* attributes = L"") {
  auto* child = new CControlUI();
  child->SetName(name);
  child->ApplyAttributeList(attributes);
  parent->Add(child);
  return child;
}

}  // namespace

// --- Name tables and DPI -----------------------------------------------------------------------------

TEST(NameTable, InsertRefusesSetReplacesAndHitsMoveToTheFront) {
  CNameTable<int> table;
  EXPECT_TRUE(table.Insert(L"k", 1));
  EXPECT_FALSE(table.Insert(L"k", 2));
  EXPECT_EQ(*table.Find(L"k"), 1);
  table.Set(L"k", 3);
  EXPECT_EQ(*table.Find(L"k"), 3);
  EXPECT_EQ(table.Count(), 1u);
  EXPECT_EQ(table.Find(L"K"), nullptr);  // keys compare exactly

  // Two keys in one bucket: "a" (97) and the one-character key 97 + 83 = 180.
  const std::wstring other(1, static_cast<wchar_t>(180));
  ASSERT_EQ(CNameTable<int>::BucketOf(other), CNameTable<int>::BucketOf(L"a"));
  table.Insert(L"a", 10);
  table.Insert(other, 20);
  const auto& bucket = table.Bucket(CNameTable<int>::BucketOf(L"a"));
  EXPECT_EQ(bucket.front().first, other);
  table.Find(L"a");
  EXPECT_EQ(bucket.front().first, L"a");
}

TEST(DpiScale, RoundingKeepsTheSignOfSmallValuesAndUnawareProcessesAreNotScaled) {
  CDPI dpi;
  EXPECT_EQ(dpi.GetScale(), 100);
  const struct {
    int dpi, scale, value, scaled;
  } cases[] = {{48, 50, 1, 1}, {48, 50, -1, -1}, {48, 50, 0, 0}, {48, 50, 7, 3}, {144, 150, 10, 15}};
  for (const auto& c : cases) {
    dpi.SetDPI(c.dpi);
    EXPECT_EQ(dpi.GetScale(), c.scale);
    EXPECT_EQ(dpi.Scale(c.value), c.scaled) << c.value << " at " << c.dpi;
  }
  EXPECT_EQ(VeneerTest::Describe(dpi.Scale(MakeRect(1, 1, 4, 4))), "1,1,5,5");  // left 1 -> 1, width 3 -> 4
  dpi.SetAwareness(CDPI::kUnaware);
  EXPECT_EQ(dpi.Scale(10), 10);
}

// --- Tree, names, timers ------------------------------------------------------------------------------

TEST(PaintManagerTree, LastRegisteredNameWins) {
  VeneerTest::TestWindow window;
  auto* root = new CVerticalLayoutUI();
  NamedChild(root, L"twin");
  CControlUI* second = NamedChild(root, L"twin");
  window.Manager().AttachDialog(root);
  EXPECT_EQ(window.Manager().FindControl(L"twin"), second);
  EXPECT_EQ(window.Manager().FindControl(L"nobody"), nullptr);
  root->Remove(second);  // destroyed later; its name entry goes with it
  window.Pump();
  EXPECT_NE(window.Manager().FindControl(L"twin"), second);
}

// After 239 the ids go on at 1: 0 is no timer id, and an id still held is skipped; with all 239 held a
// further timer is refused.
TEST(PaintManagerTimers, NativeIdsStartAt17AndWrapAt240PastZero) {
  VeneerTest::TestWindow window;
  auto* root = new CVerticalLayoutUI();
  window.Manager().AttachDialog(root);
  CPaintManagerUI& manager = window.Manager();
  for (UINT id = 0; id < 239; ++id) ASSERT_TRUE(manager.SetTimer(root, id, 100000)) << id;
  EXPECT_FALSE(manager.SetTimer(root, 239, 100000));
  const auto& timers = manager.GetTimers();
  EXPECT_EQ(timers[0].nativeId, 17u);  // (4096 + 1) mod 240
  EXPECT_EQ(timers[222].nativeId, 239u);
  EXPECT_EQ(timers[223].nativeId, 1u);
  EXPECT_EQ(timers[238].nativeId, 16u);
  ASSERT_TRUE(manager.KillTimer(root, 100));  // killed, but its record keeps the id for a restart
  EXPECT_FALSE(manager.SetTimer(root, 239, 100000));
  manager.KillTimer(root);
  EXPECT_TRUE(manager.GetTimers().empty());
  ASSERT_TRUE(manager.SetTimer(root, 239, 100000));
  EXPECT_EQ(manager.GetTimers()[0].nativeId, 17u);
}

TEST(PaintManagerTimers, KilledTimerRestartsUnderItsNativeId) {
  VeneerTest::TestWindow window;
  auto* root = new CVerticalLayoutUI();
  root->SetName(L"root");
  window.Manager().AttachDialog(root);
  CPaintManagerUI& manager = window.Manager();
  NotifyLog log;
  manager.AddNotifier(&log);
  ASSERT_TRUE(manager.SetTimer(root, 5, 100000));
  EXPECT_FALSE(manager.SetTimer(root, 5, 100000));  // alive: refused
  const UINT native = manager.GetTimers()[0].nativeId;
  EXPECT_TRUE(manager.KillTimer(root, 5));
  EXPECT_TRUE(manager.GetTimers()[0].killed);
  ::SendMessageW(window.Handle(), WM_TIMER, native, 0);  // a killed timer delivers nothing
  EXPECT_TRUE(log.entries.empty());
  ASSERT_TRUE(manager.SetTimer(root, 5, 100000));
  EXPECT_EQ(manager.GetTimers().size(), 1u);
  EXPECT_EQ(manager.GetTimers()[0].nativeId, native);
  ::SendMessageW(window.Handle(), WM_TIMER, native, 0);
  ASSERT_EQ(log.entries, (std::vector<std::wstring>{L"timer:root"}));
  EXPECT_EQ(log.wParams[0], 5u);  // the control's own id
  manager.RemoveNotifier(&log);
}

// --- Input routing ------------------------------------------------------------------------------------

class InputRouting : public ::testing::Test {
 protected:
  void SetUp() override {
    // [ a: 0..100 ][ b: 100..200 ]
    auto* root = new CHorizontalLayoutUI();
    root->SetName(L"root");
    a_ = NamedChild(root, L"a", L"width=\"100\"");
    b_ = NamedChild(root, L"b");
    Watch(a_, &log_);
    Watch(b_, &log_);
    window_.Manager().AttachDialog(root);
    window_.Manager().AddNotifier(&notes_);
    root->SetPos(MakeRect(0, 0, 200, 100), false);
  }
  NotifyLog notes_;  // outlives the window that reports to it
  VeneerTest::TestWindow window_{200, 100};
  CControlUI* a_ = nullptr;
  CControlUI* b_ = nullptr;
  std::vector<std::wstring> log_;
};

TEST_F(InputRouting, LeaveComesBeforeEnter) {
  window_.Mouse(WM_MOUSEMOVE, 10, 10);
  window_.Mouse(WM_MOUSEMOVE, 150, 10);
  EXPECT_EQ(log_, (std::vector<std::wstring>{L"a:enter", L"a:move", L"a:leave", L"b:enter", L"b:move"}));
  EXPECT_EQ(window_.Manager().GetHover(), b_);
}

TEST_F(InputRouting, PressedControlTakesTheFocusKeepsMovesAndGetsTheButtonUp) {
  window_.Mouse(WM_MOUSEMOVE, 10, 10);
  window_.Mouse(WM_LBUTTONDOWN, 10, 10, MK_LBUTTON);
  EXPECT_EQ(window_.Manager().GetFocus(), a_);
  log_.clear();
  window_.Mouse(WM_MOUSEMOVE, 150, 10, MK_LBUTTON);
  EXPECT_EQ(log_, (std::vector<std::wstring>{L"a:move"}));
  EXPECT_EQ(window_.Manager().GetHover(), a_);
  window_.Mouse(WM_LBUTTONUP, 150, 10);
  EXPECT_EQ(log_, (std::vector<std::wstring>{L"a:move", L"a:up"}));
  EXPECT_EQ(window_.Manager().GetPressed(), nullptr);
  EXPECT_FALSE(window_.Manager().IsCaptured());
  // Released, the next move hands the hover over.
  window_.Mouse(WM_MOUSEMOVE, 150, 10);
  EXPECT_EQ(window_.Manager().GetHover(), b_);
  window_.Manager().SetFocus(b_);
  EXPECT_EQ(notes_.entries, (std::vector<std::wstring>{L"setfocus:a", L"killfocus:a", L"setfocus:b"}));
}

TEST_F(InputRouting, QueuedNotificationsArriveLaterAndThoseOfADestroyedControlAreDropped) {
  window_.Manager().SendNotify(a_, L"later", 1, 0, true);
  window_.Manager().SendNotify(b_, L"late", 0, 0, true);
  window_.Manager().SendNotify(b_, L"now", 2, 0, false);
  EXPECT_EQ(notes_.entries, (std::vector<std::wstring>{L"now:b"}));
  static_cast<CContainerUI*>(window_.Manager().GetRoot())->Remove(b_);  // deleted when the queue is handled
  window_.Pump();
  EXPECT_EQ(notes_.entries, (std::vector<std::wstring>{L"now:b", L"later:a"}));
  EXPECT_EQ(window_.Manager().FindControl(L"b"), nullptr);
}

// --- Painting -----------------------------------------------------------------------------------------

TEST(PaintManagerPainting, FirstPaintLaysOutAnnouncesAndDraws) {
  VeneerTest::TestWindow window(100, 50);
  auto* root = new CVerticalLayoutUI();
  root->SetName(L"root");
  root->SetAttribute(L"bkcolor", L"#FF0000FF");
  CControlUI* top = NamedChild(root, L"top", L"height=\"20\" bkcolor=\"#FFFF0000\"");
  NotifyLog log;
  window.Manager().AddNotifier(&log);
  window.Manager().AttachDialog(root);
  ::ShowWindow(window.Handle(), SW_SHOWNA);
  ::UpdateWindow(window.Handle());
  EXPECT_EQ(log.entries, (std::vector<std::wstring>{L"windowinit:root"}));
  window.Pump();
  EXPECT_EQ(log.entries, (std::vector<std::wstring>{L"windowinit:root", L"windowsize:root"}));
  ASSERT_EQ(top->GetPos().bottom, 20);
  const uint32_t* pixels = window.Manager().GetOffscreenBits();
  ASSERT_NE(pixels, nullptr);
  EXPECT_EQ(pixels[5 * 100 + 5] & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(pixels[30 * 100 + 5] & 0xFFFFFF, 0x0000FFu);

  // Only the changed control is repainted.
  top->SetBkColor(0xFF00FF00);
  ::UpdateWindow(window.Handle());
  pixels = window.Manager().GetOffscreenBits();
  EXPECT_EQ(pixels[5 * 100 + 5] & 0xFFFFFF, 0x00FF00u);
  EXPECT_EQ(pixels[30 * 100 + 5] & 0xFFFFFF, 0x0000FFu);
  window.Manager().RemoveNotifier(&log);
}

TEST(PaintManagerPainting, LayeredWindowRepairsAlphaOfGdiPixels) {
  VeneerTest::TestWindow window(60, 40);
  auto* root = new CVerticalLayoutUI();
  root->SetAttribute(L"bkcolor", L"#FF204060");
  NamedChild(root, L"hole", L"height=\"10\" bkcolor=\"#FF000000\"");
  window.Manager().SetLayered(true);
  window.Manager().AttachDialog(root);
  window.ShowAndPaint();
  const uint32_t* pixels = window.Manager().GetOffscreenBits();
  ASSERT_NE(pixels, nullptr);
  EXPECT_EQ(pixels[20 * 60 + 30], 0xFF204060u);  // filled by GDI, made opaque
  EXPECT_EQ(pixels[5 * 60 + 30], 0x00000000u);   // black has no colour to repair: stays transparent
  EXPECT_TRUE(window.Manager().IsLayered());
  EXPECT_NE(::GetWindowLongW(window.Handle(), GWL_EXSTYLE) & WS_EX_LAYERED, 0);
}

// Composing reads the layered image with the off-screen bitmap's stride, so the image is drawn again for
// the new size when the window grows, even when nothing asks for a layout (the root is invisible).
TEST(PaintManagerPainting, LayeredImageFollowsTheWindowAsItGrows) {
  VeneerTest::TestWindow window(40, 30);
  auto* root = new CVerticalLayoutUI();
  root->SetVisible(false);
  window.Manager().SetLayeredImage((L"file='" + VeneerTest::FixturePath(L"left_opaque.png") + L"'").c_str());
  window.Manager().AttachDialog(root);
  window.ShowAndPaint();
  ::SetWindowPos(window.Handle(), nullptr, 0, 0, 80, 60, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  window.ShowAndPaint();
  const uint32_t* pixels = window.Manager().GetOffscreenBits();
  ASSERT_NE(pixels, nullptr);
  // The image's left half is opaque and its right half transparent, stretched over all 80 x 60 pixels.
  const struct {
    int x, y;
    uint32_t alpha;
  } samples[] = {{10, 5, 255}, {50, 5, 0}, {10, 55, 255}, {70, 55, 0}};
  for (const auto& sample : samples)
    EXPECT_EQ(pixels[sample.y * 80 + sample.x] >> 24, sample.alpha) << sample.x << "," << sample.y;
}

TEST(PaintManagerPainting, BeforeAnyTreeTheWindowIsBlack) {
  VeneerTest::TestWindow window(40, 30);
  ::ShowWindow(window.Handle(), SW_SHOWNA);
  ::UpdateWindow(window.Handle());
  HDC dc = ::GetDC(window.Handle());
  RECT all = MakeRect(0, 0, 40, 30);
  ::FillRect(dc, &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  ASSERT_EQ(::GetPixel(dc, 10, 10), RGB(255, 255, 255));
  ::InvalidateRect(window.Handle(), nullptr, FALSE);
  ::UpdateWindow(window.Handle());
  EXPECT_EQ(::GetPixel(dc, 10, 10), RGB(0, 0, 0));
  ::ReleaseDC(window.Handle(), dc);
}

// --- Fonts and DPI ------------------------------------------------------------------------------------

TEST(PaintManagerFonts, SizesFollowTheScaleAndUnknownIdsFallBack) {
  VeneerTest::TestWindow window;
  CPaintManagerUI& manager = window.Manager();
  ASSERT_NE(manager.AddFont(1, L"Arial", 12, true, false, true, false), nullptr);
  EXPECT_EQ(manager.GetFont(99), manager.GetDefaultFontInfo()->font.Get());
  manager.SetDPI(144);
  LOGFONTW lf{};
  ::GetObjectW(manager.GetFont(1), sizeof(lf), &lf);
  EXPECT_EQ(lf.lfHeight, -18);
  EXPECT_EQ(lf.lfWeight, FW_BOLD);
  EXPECT_TRUE(lf.lfItalic);
  EXPECT_EQ(manager.GetFontInfo(1)->size, 12);  // the unscaled size is kept
}

TEST(PaintManagerDpi, WindowGrowsWithTheScaleAndTheWindowIsTold) {
  VeneerTest::TestWindow window(200, 100);
  auto* root = new CVerticalLayoutUI();
  window.Manager().AttachDialog(root);
  window.Manager().SetInitSize(0, 0);
  window.Manager().SetCaptionRect(MakeRect(0, 0, 0, 30));
  window.Manager().SetDPI(144);
  RECT rc{};
  ::GetWindowRect(window.Handle(), &rc);
  EXPECT_EQ(Width(rc), 300);
  EXPECT_EQ(Height(rc), 150);
  EXPECT_EQ(window.Manager().GetCaptionRect().bottom, 45);
  MSG msg{};
  EXPECT_TRUE(::PeekMessageW(&msg, window.Handle(), kMsgDpiChanged, kMsgDpiChanged, PM_REMOVE));
}
