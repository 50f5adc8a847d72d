// The main window in this process, built from the installer's skin archive and driven with real mouse and
// window messages. This program carries no payload, so a started installation fails at once: the worker
// stops the application's processes, finds no payload resource and reports failure without touching a file.
#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>
#include <oleacc.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/unique_resource.h"
#include "engine/install_engine.h"
#include "engine/uninstall_entry.h"
#include "tests/support/captured_log.h"
#include "tests/support/temp_folder.h"
#include "tests/veneer/real_input.h"
#include "ui/main_wnd.h"
#include "ui/msg_box_wnd.h"
#include "ui/taskbar_button.h"
#include "veneer/accessible.h"
#include "veneer/control.h"
#include "veneer/label.h"
#include "veneer/paint_manager.h"

namespace {

constexpr DWORD kMainStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
// A folder nothing creates: a worker without payload leaves it missing, so it is never refused.
constexpr wchar_t kUnusedFolder[] = L"C:\\ui test\\vexor\\Quillon";

void Pump(DWORD ms = 100) {
  VeneerTest::PumpUntil([] { return false; }, ms);
}

// The taskbar button's calls, in order.
class RecordingTaskbarButton : public TaskbarButton {
 public:
  explicit RecordingTaskbarButton(std::vector<std::string>* calls) : calls_(calls) {}
  void OnButtonCreated(HWND) override { calls_->push_back("created"); }
  void ShowProgress(HWND, int percent) override { calls_->push_back("progress " + std::to_string(percent)); }
  void ShowError(HWND) override { calls_->push_back("error"); }
  void ClearProgress(HWND) override { calls_->push_back("clear"); }
  void Flash(HWND) override { calls_->push_back("flash"); }

 private:
  std::vector<std::string>* calls_;
};

// Focus events that screen readers receive, as child ids of the window's client object.
std::vector<LONG>* g_focusEvents = nullptr;
void CALLBACK RecordFocusEvent(HWINEVENTHOOK, DWORD, HWND, LONG objectId, LONG childId, DWORD, DWORD) {
  if (g_focusEvents != nullptr && objectId == OBJID_CLIENT) g_focusEvents->push_back(childId);
}

// Brightness 0..255 of a 0x..RRGGBB colour.
int Luma(uint32_t color) {
  return static_cast<int>((((color >> 16) & 0xFF) * 299 + ((color >> 8) & 0xFF) * 587 + (color & 0xFF) * 114) / 1000);
}

class MainWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ::OleInitialize(nullptr);
    Veneer::CPaintManagerUI::SetInstance(::GetModuleHandleW(nullptr));
    Veneer::CPaintManagerUI::SetResourcePath(L"");
    // Read where it lies in memory, as the installer reads its skin resource.
    static const std::string skin = ReadFileBytes(QUILLON_TEST_SKIN_ZIP);
    Veneer::CPaintManagerUI::SetResourceZip(skin.data(), skin.size());
  }

  void SetUp() override { ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kUninstallSubkey); }

  void TearDown() override {
    if (window_ != nullptr && ::IsWindow(window_->GetHWND())) ::DestroyWindow(window_->GetHWND());
    Pump(50);
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kUninstallSubkey);
  }

  CMainWnd& Open(bool isUpdate = false) {
    window_ = std::make_unique<CMainWnd>(isUpdate);
    EXPECT_NE(window_->Create(nullptr, L"Quillon 安装程序", kMainStyle, 0), nullptr);
    window_->CenterWindow();
    window_->ShowWindow(true, true);
    ::UpdateWindow(window_->GetHWND());
    Pump();
    return *window_;
  }

  Veneer::CControlUI* Find(const wchar_t* name) { return window_->GetPaintManager().FindControl(name); }

  // The click is handled before this returns; pumping afterwards is left out where a test must look at
  // the window before the worker can be heard from.
  void Click(const wchar_t* name, bool pump = true) {
    Veneer::CControlUI* control = Find(name);
    ASSERT_NE(control, nullptr) << name;
    const RECT pos = control->GetPos();
    const LPARAM at = MAKELPARAM((pos.left + pos.right) / 2, (pos.top + pos.bottom) / 2);
    HWND window = window_->GetHWND();
    ::SendMessageW(window, WM_MOUSEMOVE, 0, at);
    ::SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageW(window, WM_LBUTTONUP, 0, at);
    if (pump) Pump(50);
  }

  int WindowHeight() {
    RECT rc{};
    ::GetWindowRect(window_->GetHWND(), &rc);
    return rc.bottom - rc.top;
  }

  int Scale(int value) { return window_->GetPaintManager().GetDPIObj()->Scale(value); }

  bool Visible(const wchar_t* name) {
    Veneer::CControlUI* control = Find(name);
    return control != nullptr && control->IsVisible();
  }

  // The window's pixels in a rectangle as painted, row by row, as brightness 0..255.
  struct Patch {
    long width = 0;
    std::vector<int> lumas;
    [[nodiscard]] long Height() const { return width > 0 ? static_cast<long>(lumas.size()) / width : 0; }
    [[nodiscard]] int At(long x, long y) const { return lumas[y * width + x]; }
    [[nodiscard]] int MedianLuma() const {
      std::vector<int> sorted = lumas;
      if (sorted.empty()) return 0;
      std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
      return sorted[sorted.size() / 2];
    }
    // The largest brightness step between two neighbouring pixels, across or down.
    [[nodiscard]] int StrongestEdge() const {
      int strongest = 0;
      for (long y = 0; y < Height(); ++y) {
        for (long x = 0; x < width; ++x) {
          if (x + 1 < width) strongest = std::max(strongest, std::abs(At(x + 1, y) - At(x, y)));
          if (y + 1 < Height()) strongest = std::max(strongest, std::abs(At(x, y + 1) - At(x, y)));
        }
      }
      return strongest;
    }
    // First and last row with a pixel brighter than the threshold, {-1, -1} without one.
    [[nodiscard]] std::pair<long, long> BrightRows(int threshold) const {
      std::pair<long, long> rows{-1, -1};
      for (long y = 0; y < Height(); ++y) {
        for (long x = 0; x < width; ++x) {
          if (At(x, y) <= threshold) continue;
          if (rows.first < 0) rows.first = y;
          rows.second = y;
        }
      }
      return rows;
    }
  };
  Patch Painted(RECT rc) {
    ::InvalidateRect(window_->GetHWND(), nullptr, FALSE);
    ::UpdateWindow(window_->GetHWND());
    Pump(50);
    Patch patch;
    const uint32_t* bits = window_->GetPaintManager().GetOffscreenBits();
    const SIZE client = window_->GetPaintManager().GetClientSize();
    if (bits == nullptr) return patch;
    rc = {std::max(rc.left, 0L), std::max(rc.top, 0L), std::min(rc.right, client.cx), std::min(rc.bottom, client.cy)};
    patch.width = std::max(0L, rc.right - rc.left);
    for (long y = rc.top; y < rc.bottom; ++y) {
      for (long x = rc.left; x < rc.right; ++x) patch.lumas.push_back(Luma(bits[y * client.cx + x]));
    }
    return patch;
  }
  std::vector<int> PixelsOf(const wchar_t* name) { return Painted(Find(name)->GetPos()).lumas; }

  // The name of the visible one of the four bottom views.
  std::wstring View() {
    for (const wchar_t* view : {L"install_bottom_contaner", L"installing_bottom_contaner",
                                L"install_finish_bottom_contaner", L"install_failed_bottom_contaner"}) {
      if (Visible(view)) return view;
    }
    return L"none";
  }

  std::unique_ptr<CMainWnd> window_;
};

TEST_F(MainWindowTest, OpensOnTheWelcomeViewWithVersionAndDefaultFolderAndCustomiseTogglesItsHeight) {
  Open();
  EXPECT_EQ(Find(L"title")->GetText(), L"Quillon V" QUILLON_VERSION_TEXT L" 安装");
  EXPECT_EQ(Find(L"path_input")->GetText(), L"C:\\Program Files (x86)\\vexor\\Quillon");
  EXPECT_EQ(WindowHeight(), Scale(400));
  EXPECT_EQ(View(), L"install_bottom_contaner");
  EXPECT_EQ(window_->GetInstallState(), 1);
  for (bool expanded : {true, false}) {
    Click(L"extend_btn");
    EXPECT_EQ(window_->IsExpanded(), expanded);
    EXPECT_EQ(WindowHeight(), Scale(expanded ? 467 : 400));
  }
  // Before an installation has started a system close closes at once.
  ::SendMessageW(window_->GetHWND(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_FALSE(::IsWindow(window_->GetHWND()));
}

TEST_F(MainWindowTest, AnEarlierInstallationsFolderIsProposedWithoutItsTrailingBackslash) {
  ASSERT_TRUE(SetUninstallValue(L"InstallLocation", L"C:\\Tools\\Quillon Earlier\\"));
  Open();
  EXPECT_EQ(Find(L"path_input")->GetText(), L"C:\\Tools\\Quillon Earlier");
}

TEST_F(MainWindowTest, UntickingTheAgreementDisablesInstallAndChangesTheBox) {
  Open();
  const std::vector<int> ticked = PixelsOf(L"agree_checkbox");
  ASSERT_FALSE(ticked.empty());
  Click(L"agree_checkbox");
  EXPECT_FALSE(window_->IsAgreed());
  EXPECT_FALSE(Find(L"install_btn")->IsEnabled());
  EXPECT_NE(PixelsOf(L"agree_checkbox"), ticked);
  Click(L"install_btn");
  EXPECT_EQ(window_->GetInstallState(), 1);
  Click(L"agree_checkbox");
  EXPECT_TRUE(window_->IsAgreed());
  EXPECT_TRUE(Find(L"install_btn")->IsEnabled());
}

// The small texts at 100 %: the support link, the agreement's caption and link, and the three feature chips'
// words. Their edges are the words the controls draw at the monitor's resolution: with the words the region
// holds steps between neighbouring pixels of at least half the contrast between text and background; without
// them only the faint lines of the backdrop, for artwork that carries the words smears them when scaled down.
TEST_F(MainWindowTest, SmallTextsAreDrawnSharpAt100Percent) {
  Open();
  ASSERT_EQ(Scale(100), 100);
  const std::pair<const wchar_t*, RECT> regions[] = {
      // the control, and what is left out around its words
      {L"qq_contact_btn", {}},         {L"agree_checkbox", {17, 0, 0, 0}},     {L"agreement_btn", {}},
      {L"feature_sync", {6, 4, 6, 4}}, {L"feature_collaborate", {6, 4, 6, 4}}, {L"feature_privacy", {6, 4, 6, 4}}};
  for (const auto& [name, inset] : regions) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
    Veneer::CControlUI* control = Find(name);
    ASSERT_NE(control, nullptr);
    auto* label = static_cast<Veneer::CLabelUI*>(control->GetInterface(L"Label"));
    ASSERT_NE(label, nullptr);
    const RECT pos = label->GetPos();
    const RECT area = {pos.left + inset.left, pos.top + inset.top, pos.right - inset.right, pos.bottom - inset.bottom};
    const std::wstring words = label->GetText();
    ASSERT_FALSE(words.empty());
    const Patch drawn = Painted(area);
    label->SetText(L"");
    const Patch artwork = Painted(area);
    label->SetText(words);
    const int contrast = Luma(label->GetTextColor()) - artwork.MedianLuma();
    ASSERT_GT(contrast, 60);
    EXPECT_GE(drawn.StrongestEdge(), contrast / 2);
    EXPECT_LE(artwork.StrongestEdge(), contrast / 4);  // the backdrop's faint rings
  }
}

// The folder row of the customise view:
//    安装位置  ( C:\Program Files (x86)\...   )  ( 浏览 )
// the label's words on the field's line, and the field's outline on the browse button's.
TEST_F(MainWindowTest, TheFolderRowSharesOneLine) {
  Open();
  Click(L"extend_btn");
  ASSERT_NE(Find(L"path_label"), nullptr);
  Find(L"path_input")->SetText(L"安装位置");  // the label's own words, so that the two inks compare
  const RECT label = Find(L"path_label")->GetPos();
  const RECT field = Find(L"path_input")->GetPos();
  const RECT browse = Find(L"browse_path_btn")->GetPos();
  const long top = std::min({label.top, field.top, browse.top}) - 2;
  const long bottom = std::max({label.bottom, field.bottom, browse.bottom}) + 2;
  const int kInk = 190;
  // Inside the outline, from a little right of its round end.
  const auto fieldWords =
      Painted({field.left + Scale(8), field.top + Scale(3), field.right - Scale(8), field.bottom - Scale(3)})
          .BrightRows(kInk);
  const auto labelWords =
      Painted({label.left, field.top + Scale(3), label.right, field.bottom - Scale(3)}).BrightRows(kInk);
  ASSERT_GE(fieldWords.first, 0);
  ASSERT_GE(labelWords.first, 0);
  EXPECT_NEAR(fieldWords.first, labelWords.first, 1);
  EXPECT_NEAR(fieldWords.second, labelWords.second, 1);
  // Outlines: a column through the field's straight part and one through the button's, beside its caption.
  const long fieldColumn = (field.left + field.right) / 2;
  const long browseColumn = browse.left + Scale(14);
  const auto fieldOutline = Painted({fieldColumn, top, fieldColumn + 1, bottom}).BrightRows(kInk);
  const auto browseOutline = Painted({browseColumn, top, browseColumn + 1, bottom}).BrightRows(kInk);
  ASSERT_GE(fieldOutline.first, 0);
  EXPECT_NEAR(fieldOutline.first, browseOutline.first, 1);
  EXPECT_NEAR(fieldOutline.second, browseOutline.second, 1);
}

// Both boxes:  提示 ....................... (x)   the title on the close button's line.
TEST_F(MainWindowTest, TheBoxesTitleIsCentredOnTheCloseButtonsLine) {
  Open();
  for (const wchar_t* notice : {L"", L"所选文件夹中已有其他文件。"}) {
    auto box = *notice != 0 ? std::make_unique<CMsgBoxWnd>(notice) : std::make_unique<CMsgBoxWnd>();
    ASSERT_NE(box->Create(window_->GetHWND(), L"提示", kMainStyle, WS_EX_WINDOWEDGE), nullptr);
    box->ShowWindow(true, false);
    ::UpdateWindow(box->GetHWND());
    const RECT title = box->GetPaintManager().FindControl(L"title")->GetPos();
    const RECT close = box->GetPaintManager().FindControl(L"msg_close_btn")->GetPos();
    EXPECT_EQ(title.top + title.bottom, close.top + close.bottom) << (*notice != 0 ? "notice" : "quit");
    ::DestroyWindow(box->GetHWND());
    Pump(50);
  }
}

TEST_F(MainWindowTest, AFolderThatCannotBeCreatedOpensTheCustomiseViewInsteadOfInstalling) {
  CapturedLog log;
  Open();
  for (const wchar_t* text : {L"", L"vexor\\Quillon", L"C:\\a|b\\Quillon"}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(text)));
    Find(L"path_input")->SetText(text);
    Click(L"install_btn");
    EXPECT_EQ(window_->GetInstallState(), 1);
    EXPECT_TRUE(window_->IsExpanded());
    EXPECT_EQ(WindowHeight(), Scale(467));
    EXPECT_TRUE(Find(L"path_input")->IsFocused());
    EXPECT_EQ(View(), L"install_bottom_contaner");
  }
  EXPECT_EQ(log.Find(spdlog::level::warn, "安装路径无效").size(), 3u);
  EXPECT_TRUE(log.Find(spdlog::level::info, "SendLog").empty());
}

TEST_F(MainWindowTest, AFailedInstallationShowsTheFailureViewAndRetryRunsItAgain) {
  CapturedLog log;
  Open();
  Click(L"extend_btn");
  Find(L"path_input")->SetText(std::wstring(kUnusedFolder) + L"\\");
  Click(L"install_btn");
  EXPECT_EQ(Find(L"path_input")->GetText(), kUnusedFolder);
  for (int run = 1; run <= 2; ++run) {
    ASSERT_TRUE(VeneerTest::PumpUntil([&] { return window_->GetInstallState() != 2; }, 60000));
    EXPECT_EQ(window_->GetInstallState(), -1);  // no payload in this program
    EXPECT_GE(window_->GetExitCode(), ExitCodeFor(FailureCause::kNotEnoughSpace));
    EXPECT_EQ(WindowHeight(), Scale(400));
    EXPECT_EQ(View(), L"install_failed_bottom_contaner");
    EXPECT_TRUE(Visible(L"close_btn"));
    EXPECT_FALSE(Find(L"failure_reason")->GetText().empty());
    EXPECT_NE(Find(L"log_path")->GetText().find(L"\\quillon\\install logs\\"), std::wstring::npos);
    EXPECT_EQ(log.Find(spdlog::level::info, "安装结果 :-1").size(), static_cast<size_t>(run));
    if (run == 2) break;
    // A retry starts over: the installing view from 0 %, a new worker on the same folder.
    ::SendMessageW(window_->GetHWND(), WM_INSTALL_PROGRESS, 60, 0);
    Click(L"retry_btn", false);
    EXPECT_EQ(window_->GetInstallState(), 2);
    EXPECT_EQ(View(), L"installing_bottom_contaner");
    EXPECT_EQ(Find(L"progress_num")->GetText(), L"0%");
  }
  const std::vector<std::string> events = log.Find(spdlog::level::info, "SendLog");
  ASSERT_EQ(events.size(), 5u);
  for (size_t i : {1u, 3u}) EXPECT_NE(events[i].find("\"install_start\""), std::string::npos);

  // Closing the failure view ends the run with the failure's code.
  const int failureCode = window_->GetExitCode();
  Click(L"failure_close_btn");
  EXPECT_FALSE(::IsWindow(window_->GetHWND()));
  EXPECT_EQ(window_->GetExitCode(), failureCode);
}

// Progress, every kind of failure and a success, with the shell's own taskbar list (whatever this system
// makes of it) following along.
TEST_F(MainWindowTest, TheFailureViewNamesTheCauseAndTheProcessEndsWithItsCode) {
  struct Case {
    WPARAM cause;
    InstallFailure* details;
    const wchar_t* sentenceHolds;
    int exitCode;
  };
  auto failure = [](FailureCause cause, uint64_t required, uint64_t available, uint32_t systemError) {
    return new InstallFailure{cause, systemError, required, available, {}};
  };
  const Case cases[] = {
      {1, failure(FailureCause::kNotEnoughSpace, 157286401, 21495808, 112), L"需要 150.1 MB，可用 20.5 MB", 2},
      {2, failure(FailureCause::kFilesInUse, 0, 0, 32), L"正被其他程序使用", 3},
      {3, nullptr, L"安装程序已损坏", 4},
      {4, failure(FailureCause::kFolderNotUsable, 0, 0, 0), L"安装位置不可用", 5},
      {5, failure(FailureCause::kNoPermission, 0, 0, 5), L"没有写入安装位置的权限", 6},
      {6, failure(FailureCause::kOther, 0, 0, 1117), L"错误代码 1117", 7},
      {0, nullptr, L"安装时发生错误，", 7},  // a failure that names no cause is still a failure
  };
  Open();
  HWND window = window_->GetHWND();
  ::SendMessageW(window, TaskbarButtonCreatedMessage(), 0, 0);
  for (int percent : {0, 37, 100}) {
    ::SendMessageW(window, WM_INSTALL_PROGRESS, percent, reinterpret_cast<LPARAM>(new std::wstring(L"quillon.exe")));
    EXPECT_EQ(Find(L"progress_num")->GetText(), std::to_wstring(percent) + L"%");
  }
  for (const Case& c : cases) {
    ::SendMessageW(window, WM_INSTALL_FAILED, c.cause, reinterpret_cast<LPARAM>(c.details));
    EXPECT_NE(Find(L"failure_reason")->GetText().find(c.sentenceHolds), std::wstring::npos) << "cause " << c.cause;
    EXPECT_EQ(window_->GetExitCode(), c.exitCode) << "cause " << c.cause;
    EXPECT_TRUE(Visible(L"install_failed_bottom_contaner"));
  }
  ::SendMessageW(window, WM_INSTALL_SUCCEEDED, 0, 0);
  Pump();
  ASSERT_TRUE(::IsWindow(window));
  EXPECT_EQ(window_->GetExitCode(), 0);
  EXPECT_TRUE(Visible(L"install_finish_bottom_contaner"));
}

TEST_F(MainWindowTest, ASystemCloseDuringInstallationWaitsForTheWorkersResult) {
  CapturedLog log;
  Open();
  // Not the default folder: the end-to-end cases may leave one there that is no longer registered.
  Find(L"path_input")->SetText(kUnusedFolder);
  const RECT minimise = Find(L"min_btn")->GetPos();
  Click(L"install_btn", false);
  ASSERT_EQ(window_->GetInstallState(), 2);
  HWND window = window_->GetHWND();
  // The installing view hides the close button; the minimise button stays where it was.
  ::UpdateWindow(window);
  EXPECT_FALSE(Visible(L"close_btn"));
  EXPECT_EQ(Find(L"min_btn")->GetPos().left, minimise.left);
  // Alt+F4 arrives as this system command; no message is pumped in between, so the worker cannot have
  // been heard from yet.
  ::SendMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(::IsWindow(window));
  EXPECT_FALSE(::IsWindowVisible(window));
  EXPECT_TRUE(window_->IsClosePending());
  EXPECT_TRUE(log.Find(spdlog::level::info, "安装结果").empty());

  ASSERT_TRUE(VeneerTest::PumpUntil([&] { return !::IsWindow(window); }, 60000));
  EXPECT_EQ(log.Find(spdlog::level::info, "安装结果 :-1").size(), 1u);
  EXPECT_EQ(log.Find(spdlog::level::warn, "安装进行中").size(), 1u);
}

// Real key presses through the system's input queue, from the welcome view to a confirmed quit.
TEST_F(MainWindowTest, TheKeyboardReachesEveryControlAndAnswersTheQuitBox) {
  Open();
  HWND window = window_->GetHWND();
  Veneer::CPaintManagerUI& manager = window_->GetPaintManager();
  VeneerTest::BringToFront(window);
  auto press = [](std::initializer_list<WORD> keys) {
    ASSERT_TRUE(VeneerTest::RunWhilePumping([&] { VeneerTest::PressKeys(keys); }));
  };
  auto focused = [&] { return manager.GetFocus() != nullptr ? manager.GetFocus()->GetName() : std::wstring(); };
  std::vector<LONG> focusEvents;
  g_focusEvents = &focusEvents;
  HWINEVENTHOOK hook = ::SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_FOCUS, nullptr, &RecordFocusEvent,
                                         ::GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);

  // 1. Tab walks the welcome view from the install button (the default) round to it again; the folder row
  //    below the window's edge is skipped. Each step is outlined and announced.
  EXPECT_EQ(focused(), L"install_btn");
  for (const wchar_t* next : {L"qq_contact_btn", L"agree_checkbox", L"agreement_btn", L"extend_btn", L"min_btn",
                              L"close_btn", L"install_btn"}) {
    press({VK_TAB});
    EXPECT_EQ(focused(), next);
    ASSERT_FALSE(focusEvents.empty());
    EXPECT_EQ(focusEvents.back(), Veneer::AccessibleChildId(manager, manager.GetFocus())) << next;
  }
  // Shift+Tab walks back: close, minimise, round to the customise button, the agreement, the box.
  for (int step = 0; step < 5; ++step) press({VK_SHIFT, VK_TAB});
  ASSERT_EQ(focused(), L"agree_checkbox");
  EXPECT_TRUE(manager.IsFocusMarkShown());
  const RECT box = Find(L"agree_checkbox")->GetPos();
  const long middle = (box.top + box.bottom) / 2;
  ::InvalidateRect(window, nullptr, FALSE);
  ::UpdateWindow(window);
  const uint32_t* bits = manager.GetOffscreenBits();
  const long stride = manager.GetClientSize().cx;
  ASSERT_NE(bits, nullptr);
  EXPECT_EQ(bits[middle * stride + box.left - 2], Veneer::kFocusMarkInnerColor);
  EXPECT_EQ(bits[middle * stride + box.left - 3], Veneer::kFocusMarkOuterColor);

  // 2. Space and Enter press the focused control.
  press({VK_SPACE});
  EXPECT_FALSE(window_->IsAgreed());
  press({VK_RETURN});
  EXPECT_TRUE(window_->IsAgreed());

  // 3. The customise view adds the folder field to the order; typing goes into it, Tab does not.
  press({VK_TAB});
  press({VK_TAB});
  ASSERT_EQ(focused(), L"extend_btn");
  press({VK_RETURN});
  ASSERT_TRUE(window_->IsExpanded());
  press({VK_TAB});
  ASSERT_EQ(focused(), L"path_input");
  const std::wstring before = Find(L"path_input")->GetText();
  press({'Q'});
  const std::wstring typed = Find(L"path_input")->GetText();
  EXPECT_EQ(typed.size(), before.size() + 1) << "typed: " << testing::PrintToString(typed);
  EXPECT_NE(typed.find(L'q'), std::wstring::npos);
  press({VK_TAB});
  EXPECT_EQ(focused(), L"browse_path_btn");
  ::UnhookWinEvent(hook);
  g_focusEvents = nullptr;

  // 4. Escape asks as the close button does; the box answers Escape with cancel and Enter with OK.
  auto answerQuitBox = [&](WORD answer) {
    ASSERT_TRUE(VeneerTest::RunWhilePumping([&] {
      VeneerTest::PressKeys({VK_ESCAPE});
      HWND box = nullptr;
      for (int wait = 0; wait < 100 && (box == nullptr || ::GetForegroundWindow() != box); ++wait) {
        VeneerTest::Settle(50);
        box = ::FindWindowW(L"MsgBoxWnd", nullptr);
      }
      VeneerTest::PressKeys({answer});
    }));
  };
  answerQuitBox(VK_ESCAPE);
  EXPECT_EQ(::FindWindowW(L"MsgBoxWnd", nullptr), nullptr);
  ASSERT_TRUE(::IsWindow(window));
  EXPECT_TRUE(::IsWindowEnabled(window));
  answerQuitBox(VK_RETURN);
  EXPECT_FALSE(::IsWindow(window));
}

TEST_F(MainWindowTest, TheTaskbarButtonFollowsTheInstallationAndFlashesWhenTheWindowIsBehind) {
  std::vector<std::string> calls;
  Open().SetTaskbarButton(std::make_unique<RecordingTaskbarButton>(&calls));
  HWND window = window_->GetHWND();
  ::SendMessageW(window, TaskbarButtonCreatedMessage(), 0, 0);
  ::SendMessageW(window, WM_INSTALL_PROGRESS, 37, reinterpret_cast<LPARAM>(new std::wstring(L"quillon.exe")));
  VeneerTest::BringToFront(window);
  ASSERT_EQ(::GetForegroundWindow(), window);
  ::SendMessageW(window, WM_INSTALL_FAILED, 3, 0);

  HWND other = ::CreateWindowExW(0, L"STATIC", L"another program", WS_POPUP | WS_VISIBLE, 0, 0, 80, 40, nullptr,
                                 nullptr, nullptr, nullptr);
  VeneerTest::BringToFront(other);
  ASSERT_NE(::GetForegroundWindow(), window);
  ::SendMessageW(window, WM_INSTALL_SUCCEEDED, 0, 0);
  ::DestroyWindow(other);
  EXPECT_EQ(calls, (std::vector<std::string>{"created", "progress 37", "error", "clear", "flash"}));
}

TEST_F(MainWindowTest, AMoveToAMonitorOfAnotherScaleLaysTheWindowOutAgain) {
  Open();
  Click(L"extend_btn");
  HWND window = window_->GetHWND();
  // The customise view, 600 x 467 logical pixels, where a monitor at 150 % wants it.
  RECT suggested = {40, 30, 40 + 900, 30 + 700};
  ::SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  Pump();
  RECT now{};
  ::GetWindowRect(window, &now);
  EXPECT_TRUE(::EqualRect(&now, &suggested));
  EXPECT_EQ(window_->GetPaintManager().GetDPIObj()->GetScale(), 150);
  const RECT install = Find(L"install_btn")->GetPos();
  EXPECT_EQ(install.right - install.left, 267);  // 178 logical pixels
  LOGFONTW font{};
  ASSERT_NE(::GetObjectW(window_->GetPaintManager().GetFont(0), sizeof(font), &font), 0);
  EXPECT_EQ(font.lfHeight, -18);  // 12 logical pixels
  Click(L"extend_btn");
  EXPECT_EQ(WindowHeight(), 600);
}

TEST_F(MainWindowTest, TheAccessibleObjectAnswersNothingOnceTheWindowIsGone) {
  Open();
  HWND window = window_->GetHWND();
  ComPtr<IAccessible> object;
  ASSERT_EQ(::AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                         reinterpret_cast<void**>(object.Put())),
            S_OK);
  long count = 0;
  EXPECT_EQ(object.Get()->get_accChildCount(&count), S_OK);
  EXPECT_GT(count, 0);
  VARIANT child;
  child.vt = VT_I4;
  child.lVal = CHILDID_SELF;
  BSTR title = nullptr;
  EXPECT_EQ(object.Get()->get_accName(child, &title), S_OK);
  EXPECT_EQ(std::wstring(title != nullptr ? title : L""), L"Quillon 安装程序");
  ::SysFreeString(title);
  ::DestroyWindow(window);
  EXPECT_TRUE(FAILED(object.Get()->get_accChildCount(&count)));
  child.lVal = 1;
  BSTR name = nullptr;
  EXPECT_TRUE(FAILED(object.Get()->get_accName(child, &name)));
  EXPECT_TRUE(FAILED(object.Get()->accDoDefaultAction(child)));
}

}  // namespace
