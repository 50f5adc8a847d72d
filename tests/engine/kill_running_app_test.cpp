// Real processes under the application's names (copies of sleeper.exe) are started and swept.
#include "engine/kill_running_app.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/captured_log.h"
#include "tests/support/running_copy.h"
#include "tests/support/temp_folder.h"

namespace {

const std::vector<std::wstring> kApplicationNames = {L"quillon_launcher.exe", L"quillon.exe",
                                                     L"quillon_crosshair.exe", L"crashpad_handler.exe"};

class KillRunningAppTest : public ::testing::Test {
 protected:
  // Each copy in its own folder, so that names differing only in case can run side by side.
  RunningCopy& Start(const std::wstring& name) {
    copies_.push_back(std::make_unique<RunningCopy>(folder_.Path() / std::to_wstring(copies_.size()) / name));
    EXPECT_TRUE(copies_.back()->Listed());
    return *copies_.back();
  }

  TempFolder folder_{L"kill"};
  std::vector<std::unique_ptr<RunningCopy>> copies_;
  CapturedLog log_;
};

TEST_F(KillRunningAppTest, EndsEveryWholeNameMatchIgnoringCaseAndCountsEach) {
  for (const std::wstring& name : kApplicationNames) Start(name);
  Start(L"QUILLON.EXE");
  Start(L"quillon.exe");  // a second process of the same name
  const RunningCopy& onlyContainsAName = Start(L"quillon.exe.bak.exe");

  EXPECT_EQ(KillProcessesByName(kApplicationNames), 6);
  // Gone by the time the sweep returns: each ended process was waited for.
  for (size_t i = 0; i < 6; ++i) EXPECT_TRUE(copies_[i]->Terminated()) << "copy " << i;
  EXPECT_TRUE(onlyContainsAName.Running());
  EXPECT_EQ(log_.CountAtLevel(spdlog::level::warn), 0u);
}

TEST_F(KillRunningAppTest, ThreeSweepsLogTheirCounts) {
  const RunningCopy& app = Start(L"quillon.exe");
  const RunningCopy& crashHandler = Start(L"crashpad_handler.exe");

  KillRunningApp();
  EXPECT_TRUE(app.Terminated());
  EXPECT_TRUE(crashHandler.Terminated());
  const std::vector<LogLine> lines = log_.Lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].text, "第一次Kill 共关闭了 2 个相关进程");
  EXPECT_EQ(lines[1].text, "第二次Kill 共关闭了 0 个相关进程");
  EXPECT_EQ(lines[2].text, "第三次Kill 共关闭了 0 个相关进程");
  for (const LogLine& line : lines) EXPECT_EQ(line.level, spdlog::level::info);
}

}  // namespace
