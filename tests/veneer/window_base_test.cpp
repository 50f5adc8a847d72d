// The window base: modal loops and close codes, centring, hit testing and the caption drag, the round
// region, system buttons, the notification map, and real mouse and keyboard input on skinned windows.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/process_runner.h"
#include "tests/support/temp_folder.h"
#include "tests/veneer/real_input.h"
#include "veneer/button.h"
#include "veneer/window_impl_base.h"

using namespace Veneer;
using namespace VeneerTest;

namespace {

// A skinned popup built from markup text, recording the notifications it receives.
class SkinWindow : public WindowImplBase {
 public:
  explicit SkinWindow(std::wstring skin) : skin_(std::move(skin)) {}
  ~SkinWindow() override {
    if (::IsWindow(GetHWND())) ::DestroyWindow(GetHWND());
  }
  const wchar_t* GetWindowClassName() const override { return L"VeneerSkinWindow"; }
  std::wstring GetSkinFile() override { return skin_; }
  void Notify(NotifyRecord& msg) override {
    if (msg.type == L"click") clicks.push_back(msg.sender != nullptr ? msg.sender->GetName() : L"");
    WindowImplBase::Notify(msg);
  }
  HWND Open(int x, int y, HWND owner = nullptr) {
    Create(owner, L"skin", WS_POPUP, 0, x, y, 0, 0);
    return GetHWND();
  }
  RECT Bounds() const {
    RECT rc{};
    ::GetWindowRect(GetHWND(), &rc);
    return rc;
  }
  POINT Screen(int x, int y) const {
    POINT pt = {x, y};
    ::ClientToScreen(GetHWND(), &pt);
    return pt;
  }
  LRESULT HitTest(int x, int y) {
    const POINT pt = Screen(x, y);
    return ::SendMessageW(GetHWND(), WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
  }
  std::vector<std::wstring> clicks;

 private:
  std::wstring skin_;
};

// 300 x 200, the whole window caption area: a title row with a label and two buttons over a stretch.
const wchar_t kSkin[] =
    LR"(<Window size="300,200" caption="0,0,0,-1" roundcorner="15,15">
  <VerticalLayout name="background" bkcolor="#FF336699">
    <HorizontalLayout height="30">
      <Label name="title" text="Quillon" width="100"/>
      <Control/>
      <Button name="action" width="30" bkcolor="#FFCC0000" hotbkcolor="#FF00CC00"/>
      <Button name="closebtn" width="30"/>
    </HorizontalLayout>
    <Control/>
  </VerticalLayout>
</Window>)";

// The same as a layered window, as the installer's windows are.
std::wstring LayeredSkin() {
  std::wstring skin = kSkin;
  skin.replace(skin.find(L"caption="), 0, L"bktrans=\"true\" ");
  return skin;
}

void CALLBACK DestroyOnTimer(HWND window, UINT, UINT_PTR id, DWORD) {
  ::KillTimer(window, id);
  ::DestroyWindow(window);
}

HWND g_ownerWindow = nullptr;
bool g_ownerEnabledDuringLoop = true;

void CALLBACK QuitOnTimer(HWND window, UINT, UINT_PTR id, DWORD) {
  ::KillTimer(window, id);
  g_ownerEnabledDuringLoop = ::IsWindowEnabled(g_ownerWindow) != FALSE;
  ::PostQuitMessage(7);
}

}  // namespace

// --- Modal loop ---------------------------------------------------------------------------------------

TEST(WindowBaseModal, ReturnsTheCodeOfCloseOneForTheCloseButtonAndZeroAfterADestroy) {
  SkinWindow closed(kSkin);
  ASSERT_NE(closed.Open(100, 100), nullptr);
  closed.Close(5);
  EXPECT_EQ(closed.ShowModal(), 5u);
  EXPECT_FALSE(::IsWindow(closed.GetHWND()));
  EXPECT_EQ(closed.GetHWND(), nullptr);

  SkinWindow closeButton(kSkin);
  closeButton.Open(100, 100);
  closeButton.GetPaintManager().SendNotify(closeButton.GetPaintManager().FindControl(L"closebtn"), L"click");
  EXPECT_EQ(closeButton.ShowModal(), 1u);

  SkinWindow destroyed(kSkin);
  HWND window = destroyed.Open(100, 100);
  ::SetTimer(window, 1, 10, &DestroyOnTimer);
  EXPECT_EQ(destroyed.ShowModal(), 0u);
  EXPECT_FALSE(::IsWindow(window));
}

TEST(WindowBaseModal, OwnerIsDisabledMeanwhileAndQuitIsPassedOn) {
  SkinWindow owner(kSkin);
  owner.Open(50, 50);
  SkinWindow modal(kSkin);
  modal.Open(100, 100, owner.GetHWND());
  g_ownerWindow = owner.GetHWND();
  ::SetTimer(modal.GetHWND(), 1, 10, &QuitOnTimer);
  EXPECT_EQ(modal.ShowModal(), 0u);
  EXPECT_FALSE(g_ownerEnabledDuringLoop);
  EXPECT_TRUE(::IsWindowEnabled(owner.GetHWND()));
  // The loop ended on the quit message and posted it again for the outer loop.
  MSG msg{};
  ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 7u);
  EXPECT_TRUE(::IsWindow(modal.GetHWND()));
}

namespace {

// A system edit control under a class of its own: the object sees every message first.
class SuperEdit : public CWindowWnd {
 public:
  const wchar_t* GetWindowClassName() const override { return L"VeneerSuperEdit"; }
  const wchar_t* GetSuperClassName() const override { return L"EDIT"; }
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
    if (msg == WM_SETTEXT) ++textsSet;
    return CWindowWnd::HandleMessage(msg, wParam, lParam);
  }
  void OnFinalMessage(HWND window) override { finalWindow = window; }
  int textsSet = 0;
  HWND finalWindow = nullptr;
};

}  // namespace

TEST(WindowBaseClasses, SuperclassKeepsTheSystemBehaviourAndEndsWithTheFinalMessage) {
  SuperEdit edit;
  HWND window = edit.Create(nullptr, L"", WS_POPUP, 0, 0, 0, 100, 20);
  ASSERT_NE(window, nullptr);
  ::SetWindowTextW(window, L"abc");
  wchar_t text[16] = {};
  ::GetWindowTextW(window, text, 16);
  EXPECT_STREQ(text, L"abc");
  EXPECT_EQ(edit.textsSet, 1);
  EXPECT_EQ(::GetPropW(window, L"WndX"), &edit);
  ::DestroyWindow(window);
  EXPECT_EQ(edit.finalWindow, window);
  EXPECT_EQ(edit.GetHWND(), nullptr);
}

// --- Placement, region, hit testing ---------------------------------------------------------------------

TEST(WindowBasePlacement, CenterWindowCentresAndClampsToTheWorkArea) {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  ::GetMonitorInfoW(::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT work = monitor.rcWork;

  SkinWindow normal(kSkin);
  normal.Open(0, 0);
  normal.CenterWindow();
  EXPECT_EQ(normal.Bounds().left, (work.left + work.right) / 2 - 150);
  EXPECT_EQ(normal.Bounds().top, (work.top + work.bottom) / 2 - 100);

  SkinWindow huge(kSkin);
  huge.Open(0, 0);
  ::SetWindowPos(huge.GetHWND(), nullptr, 0, 0, work.right - work.left + 400, work.bottom - work.top + 300,
                 SWP_NOMOVE | SWP_NOZORDER);
  huge.CenterWindow();
  EXPECT_EQ(huge.Bounds().left, work.left);
  EXPECT_EQ(huge.Bounds().top, work.top);
}

// The caption is wherever labels, plain controls and layouts are, never over a button; the maximise button
// and resize borders exist only where the skin asks for them.
TEST(WindowBaseHitTest, CaptionMaximiseButtonAndResizeBorders) {
  SkinWindow rounded(kSkin);
  rounded.Open(100, 100);
  rounded.ShowWindow(true, false);
  ::UpdateWindow(rounded.GetHWND());
  UniqueHrgn region(::CreateRectRgn(0, 0, 0, 0));
  ASSERT_NE(::GetWindowRgn(rounded.GetHWND(), region.Get()), ERROR);
  EXPECT_FALSE(::PtInRegion(region.Get(), 0, 0));
  EXPECT_TRUE(::PtInRegion(region.Get(), 150, 100));
  EXPECT_TRUE(::PtInRegion(region.Get(), 299, 100));

  SkinWindow sized(
      LR"(<Window size="300,200" caption="0,0,0,30" sizebox="4,4,4,4" maxinfo="640,480">
    <HorizontalLayout><Control/><Button name="maxbtn" width="30" height="30"/></HorizontalLayout></Window>)");
  sized.Open(100, 100);
  sized.ShowWindow(true, false);
  ::UpdateWindow(sized.GetHWND());
  const struct {
    SkinWindow* window;
    int x, y;
    LRESULT hit;
  } cases[] = {{&rounded, 20, 10, HTCAPTION},  {&rounded, 150, 10, HTCAPTION}, {&rounded, 150, 120, HTCAPTION},
               {&rounded, 255, 10, HTCLIENT},  {&rounded, 0, 0, HTCAPTION},    {&rounded, 299, 199, HTCAPTION},
               {&sized, 280, 15, HTMAXBUTTON}, {&sized, 1, 1, HTTOPLEFT},      {&sized, 150, 198, HTBOTTOM},
               {&sized, 2, 100, HTLEFT},       {&sized, 150, 100, HTCLIENT}};
  for (const auto& c : cases)
    EXPECT_EQ(c.window->HitTest(c.x, c.y), c.hit) << (c.window == &sized ? "sized " : "") << c.x << "," << c.y;
  MINMAXINFO info{};
  ::SendMessageW(sized.GetHWND(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.ptMaxTrackSize.x, 640);
  EXPECT_EQ(info.ptMaxTrackSize.y, 480);
}

// --- Keys and notifications ---------------------------------------------------------------------------

TEST(WindowBaseKeys, EnterAndEscapeReachTheFocusedControlUnchanged) {
  SkinWindow window(kSkin);
  window.Open(100, 100);
  bool handled = false;
  EXPECT_EQ(window.MessageHandler(WM_KEYDOWN, VK_ESCAPE, 0, handled), 1);
  EXPECT_FALSE(handled);
  EXPECT_EQ(window.MessageHandler(WM_KEYDOWN, VK_RETURN, 0, handled), 0);
  EXPECT_FALSE(handled);
  window.GetPaintManager().SetFocus(window.GetPaintManager().FindControl(L"action"));
  ::PostMessageW(window.GetHWND(), WM_KEYDOWN, VK_RETURN, 0);
  RunWhilePumping([] { Settle(50); });
  EXPECT_EQ(window.clicks, std::vector<std::wstring>{L"action"});
}

namespace {

// A map with a handler for one control, one for any control, and one taking the parameters.
class MappedWindow : public SkinWindow {
 public:
  MappedWindow() : SkinWindow(kSkin) {}
  void OnActionClick(NotifyRecord&) { calls.push_back(L"action"); }
  void OnAnyClick(NotifyRecord&) { calls.push_back(L"any"); }
  void OnLaterAnyClick(NotifyRecord&) { calls.push_back(L"later-any"); }
  void OnTimer(WPARAM wParam, LPARAM) { calls.push_back(L"timer" + std::to_wstring(wParam)); }
  std::vector<std::wstring> calls;
  VENEER_DECLARE_NOTIFY_MAP()
};

VENEER_BEGIN_NOTIFY_MAP(MappedWindow)
VENEER_ON_NOTIFY(L"click", L"", OnAnyClick)
VENEER_ON_NOTIFY(L"click", L"action", OnActionClick)
VENEER_ON_NOTIFY(L"click", L"", OnLaterAnyClick)
VENEER_ON_NOTIFY_PARAMS(L"timer", L"", OnTimer)
VENEER_END_NOTIFY_MAP(WindowImplBase)

}  // namespace

TEST(WindowBaseNotifications, TheNamedEntryWinsOtherwiseTheLastForAnyControl) {
  MappedWindow window;
  window.Open(100, 100);
  CPaintManagerUI& manager = window.GetPaintManager();
  manager.SendNotify(manager.FindControl(L"action"), L"click");
  manager.SendNotify(manager.FindControl(L"title"), L"click");
  manager.SendNotify(manager.FindControl(L"title"), L"timer", 20, 0);
  manager.SendNotify(manager.FindControl(L"title"), L"menu");
  EXPECT_EQ(window.calls, (std::vector<std::wstring>{L"action", L"later-any", L"timer20"}));
  // The derived map handles every click, so the base's system buttons are not reached through it.
  manager.SendNotify(manager.FindControl(L"closebtn"), L"click");
  EXPECT_TRUE(::IsWindow(window.GetHWND()));
}

TEST(WindowBaseNotifications, VirtualWindowsGetTheirNotificationsFirst) {
  MappedWindow window;
  window.Open(100, 100);
  MappedWindow page;
  window.AddVirtualWnd(L"Page", &page);
  NotifyRecord msg;
  msg.type = L"click";
  msg.virtualWnd = L"PAGE";
  msg.sender = window.GetPaintManager().FindControl(L"action");
  window.NotifyPump(msg);
  EXPECT_EQ(page.calls, std::vector<std::wstring>{L"action"});
  EXPECT_TRUE(window.calls.empty());
}

TEST(WindowBaseLifecycle, ASkinThatBuildsNothingEndsTheProcessWithCodeOne) {
  const ProcessOutput result = RunProcess(L"\"" + (TestProgramFolder() / L"veneer_empty_skin.exe").wstring() + L"\"");
  ASSERT_TRUE(result.started);
  EXPECT_EQ(result.exitCode, 1u);
  EXPECT_EQ(result.standardOutput.find("shown"), std::string::npos);
}

// --- Real input ---------------------------------------------------------------------------------------

TEST(WindowBaseInput, CaptionDragMovesALayeredWindowAButtonPressClicksInsteadAndAltF4Closes) {
  SkinWindow window(LayeredSkin());
  window.Open(200, 200);
  ASSERT_TRUE(window.GetPaintManager().IsLayered());
  BringToFront(window.GetHWND());
  const RECT before = window.Bounds();
  const POINT title = window.Screen(20, 10);
  ASSERT_TRUE(RunWhilePumping([title] {
    MouseTo(title.x, title.y);
    MouseButton(true);
    MouseTo(title.x + 40, title.y + 20);
    MouseTo(title.x + 90, title.y + 60);
    MouseButton(false);
    Settle();
  }));
  const RECT after = window.Bounds();
  EXPECT_EQ(after.left - before.left, 90);
  EXPECT_EQ(after.top - before.top, 60);
  EXPECT_TRUE(window.clicks.empty());

  const POINT button = window.Screen(255, 15);
  ASSERT_TRUE(RunWhilePumping([button] {
    MouseTo(button.x, button.y);
    MouseButton(true);
    MouseButton(false);
    Settle();
  }));
  EXPECT_EQ(window.Bounds().left, after.left);
  EXPECT_EQ(window.clicks, std::vector<std::wstring>{L"action"});

  HWND handle = window.GetHWND();
  const POINT background = window.Screen(150, 150);
  ASSERT_TRUE(RunWhilePumping([background] {
    MouseTo(background.x, background.y);
    PressKeys({VK_MENU, VK_F4});
    Settle(200);
  }));
  EXPECT_FALSE(::IsWindow(handle));
}

TEST(WindowBaseInput, ReleasedOutsideNoClickMovedBackInsideClickAndHoverFollowsTheMouse) {
  SkinWindow window(kSkin);
  window.Open(200, 200);
  BringToFront(window.GetHWND());
  auto* action = static_cast<CButtonUI*>(window.GetPaintManager().FindControl(L"action"));
  const POINT inside = window.Screen(255, 15);
  const POINT outside = window.Screen(150, 120);
  UINT stateOutside = 0;
  ASSERT_TRUE(RunWhilePumping([&] {
    MouseTo(inside.x, inside.y);
    MouseButton(true);
    MouseTo(outside.x, outside.y);
    stateOutside = action->GetButtonState();
    MouseButton(false);
    Settle();
  }));
  EXPECT_TRUE(window.clicks.empty());
  // Pushed was cleared outside, while the captured mouse kept the button hot.
  EXPECT_EQ(stateOutside & (kButtonPushed | kButtonHot), kButtonHot);

  UINT hovered = 0;
  ASSERT_TRUE(RunWhilePumping([&] {
    MouseTo(inside.x, inside.y);
    MouseButton(true);
    MouseTo(outside.x, outside.y);
    MouseTo(inside.x + 2, inside.y);
    MouseButton(false);
    Settle();
    MouseTo(inside.x - 100, inside.y + 50);
    MouseTo(inside.x, inside.y);
    hovered = action->GetButtonState();
    const POINT away = window.Screen(600, 500);  // outside the window
    MouseTo(away.x, away.y);
    Settle(600);  // the leave notice comes from the system's tracking
  }));
  EXPECT_EQ(window.clicks, std::vector<std::wstring>{L"action"});
  EXPECT_EQ(hovered & kButtonHot, kButtonHot);
  EXPECT_EQ(action->GetButtonState() & kButtonHot, 0u);
  EXPECT_EQ(window.GetPaintManager().GetHover(), nullptr);
}
