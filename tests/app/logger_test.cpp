// The daily log is checked in the file itself: its name, place, layout and appending are what matter.
#include "app/logger.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <vector>

#include "tests/support/process_runner.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

class LoggerTest : public ::testing::Test {
 protected:
  // Runs the probe with TMP and TEMP pointing at tempFolder (with a trailing backslash, as the system gives it).
  static ProcessOutput RunProbe(const fs::path& tempFolder, const std::wstring& tag) {
    const std::wstring temp = tempFolder.wstring() + L"\\";
    ScopedEnvironment tmp(L"TMP", temp);
    ScopedEnvironment tempVariable(L"TEMP", temp);
    return RunProcess(L"\"" + (TestProgramFolder() / L"test_probe.exe").wstring() + L"\" log " + tag);
  }

  // Named after the program and the day.
  static fs::path LogFile(const fs::path& tempFolder) {
    const std::string date = LogFileDate();
    return tempFolder / L"quillon" / L"install logs" /
           (L"test_probe.exe" + std::wstring(date.begin(), date.end()) + L".log");
  }

  TempFolder base_{L"log"};
};

TEST_F(LoggerTest, CreatesMissingFoldersWritesThePatternAndAppendsOnTheSameDay) {
  const fs::path temp = base_.Path() / L"missing" / L"parents";
  const ProcessOutput probe = RunProbe(temp, L"first");
  ASSERT_EQ(probe.exitCode, 0u) << probe.standardOutput;
  ASSERT_EQ(RunProbe(temp, L"second").exitCode, 0u);

  const std::vector<std::string> lines = SplitLines(ReadFileBytes(LogFile(temp)));
  ASSERT_EQ(lines.size(), 8u);
  const std::regex stamp(R"(^\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3}\] )");
  for (const std::string& line : lines) EXPECT_TRUE(std::regex_search(line, stamp)) << line;
  EXPECT_EQ(lines[0].substr(26), "[info] isUpdate flag :0");
  EXPECT_EQ(lines[1].substr(26), "[info] \xe4\xbf\xa1\xe6\x81\xaf first \xe4\xb8\xad\xe6\x96\x87");
  EXPECT_EQ(lines[2].substr(26), "[warning] warning line first");
  EXPECT_EQ(lines[3].substr(26), "[error] error line first");
  EXPECT_EQ(lines[7].substr(26), "[error] error line second");
}

TEST_F(LoggerTest, RunGoesOnWhenTheFileCannotBeOpened) {
  // A folder in the place of the log file makes every open fail.
  fs::create_directories(LogFile(base_.Path()));
  const ProcessOutput probe = RunProbe(base_.Path(), L"blocked");
  EXPECT_EQ(probe.exitCode, 0u);
  ASSERT_FALSE(SplitLines(probe.standardOutput).empty());
  EXPECT_EQ(SplitLines(probe.standardOutput).back(), "done acp=1252") << probe.standardOutput;
}

TEST_F(LoggerTest, ChineseTempFolderUnderWesternCodePageRunsWithoutLog) {
  const fs::path temp = base_.Path() / L"\u5f20\u4e09";
  const ProcessOutput probe = RunProbe(temp, L"chinese");
  ASSERT_FALSE(SplitLines(probe.standardOutput).empty());
  ASSERT_EQ(SplitLines(probe.standardOutput).back(), "done acp=1252") << "the prefix must use a Western ANSI code page";
  EXPECT_EQ(probe.exitCode, 0u);
  // The folder is made from the wide path; the narrow file path names a different one.
  EXPECT_TRUE(fs::is_directory(temp / L"quillon" / L"install logs"));
  EXPECT_FALSE(fs::exists(LogFile(temp)));
}

}  // namespace
