// Programs are really started: a probe child reports the command line, folder and job it got, and a probe
// starter shows that the child runs on after the starter has ended and what the upgrade hand-over logs.
#include "app/process_launch.h"

#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "app/scope_exit.h"
#include "app/text_encoding.h"
#include "app/unique_resource.h"
#include "app/upgrade_handover.h"
#include "tests/support/captured_log.h"
#include "tests/support/process_runner.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

using Report = std::map<std::string, std::string>;
using LaunchFunction = DWORD (*)(const std::wstring&, const std::wstring&);

const std::pair<const char*, LaunchFunction> kLaunchFunctions[] = {
    {"LaunchProcess", &Process::LaunchProcess},
    {"LaunchDetachedProcess", &Process::LaunchDetachedProcess},
};

// Waits until a report appears and until the process that wrote it has ended (so that its file can be
// removed); an empty report when none came.
Report AwaitReport(const fs::path& path) {
  for (int attempt = 0; attempt < 600 && !fs::exists(path); ++attempt) ::Sleep(50);
  Report report;
  for (const std::string& line : SplitLines(ReadFileBytes(path))) {
    const size_t equals = line.find('=');
    if (equals != std::string::npos) report[line.substr(0, equals)] = line.substr(equals + 1);
  }
  if (!report["pid"].empty()) {
    UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, std::stoul(report["pid"])));
    if (process) ::WaitForSingleObject(process.Get(), 10000);
  }
  fs::remove(path);
  return report;
}

// Makes another folder current for one test.
class ScopedCurrentFolder {
 public:
  explicit ScopedCurrentFolder(const std::wstring& folder) {
    wchar_t previous[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, previous);
    previous_ = previous;
    ::SetCurrentDirectoryW(folder.c_str());
  }
  ~ScopedCurrentFolder() { ::SetCurrentDirectoryW(previous_.c_str()); }

 private:
  std::wstring previous_;
};

class LaunchTest : public ::testing::Test {
 protected:
  // A blank and CJK in every path, as in "C:\Program Files (x86)", a user's name or a chosen folder.
  TempFolder folder_{L"launch \u5b89\u88c5"};
  const fs::path probe_ = folder_.Path() / L"test_probe.exe";
  const fs::path reportPath_ = folder_.Path() / L"report.txt";
  ScopedEnvironment reportVariable_{L"QUILLON_LAUNCH_REPORT", reportPath_.wstring()};

  void SetUp() override { fs::copy_file(TestProgramFolder() / L"test_probe.exe", probe_); }

  // Runs the probe as a starter (command "launch" or "relaunch") that starts a copy of itself and ends.
  ProcessOutput RunStarter(const std::wstring& command, const std::wstring& text) {
    ProcessOutput starter = RunProcess(L"\"" + probe_.wstring() + L"\" " + command + L" :: " + text);
    EXPECT_EQ(starter.exitCode, 0u) << starter.standardOutput;
    return starter;
  }
  DWORD LaunchThroughStarter(const std::wstring& kind, const std::wstring& job) {
    const std::string output = RunStarter(L"launch " + kind + L" " + job, L"starter").standardOutput;
    const size_t at = output.find("launched=");
    return at == std::string::npos ? Process::kLaunchFailed : std::stoul(output.substr(at + 9));
  }
};

// The command line is the quoted program and the text unchanged (an empty text keeps the space after the
// quote); the program starts in its own folder, which ends at the last separator (a slash here). A program
// without a folder (found through the current folder, the second place the system searches) starts in the
// caller's folder; one at the root of a drive in that root, not in "C:" alone, which would mean the
// caller's current folder on drive C.
TEST_F(LaunchTest, CommandLineIsTheQuotedProgramAndTheTextUnchangedInTheProgramsFolder) {
  const std::wstring unique = std::to_wstring(::GetCurrentProcessId()) + L".exe";
  const fs::path current = folder_.Path() / L"current \u5b89\u88c5";
  const fs::path atRoot = L"C:\\quillon_test_probe_" + unique;
  const struct {
    fs::path copy;  // where the probe is copied to, if not to probe_
    std::wstring program;
    std::wstring text;
    std::wstring currentFolder;
    std::wstring expectedFolder;
  } cases[] = {
      {{},
       folder_.Path().wstring() + L"/test_probe.exe",
       L"alpha \"two words\" \"\" -x=\\\"q\\\"  double  ",
       TestProgramFolder().wstring(),
       folder_.Path().wstring()},
      {{}, folder_.Path().wstring() + L"/test_probe.exe", L"", TestProgramFolder().wstring(), folder_.Path().wstring()},
      {current / (L"bare_test_probe_" + unique), L"bare_test_probe_" + unique, L"bare", current.wstring(),
       current.wstring()},
      {atRoot, atRoot.wstring(), L"root", L"C:\\windows", L"C:\\"}};
  for (const auto& c : cases) {
    if (!c.copy.empty()) {
      fs::create_directories(c.copy.parent_path());
      fs::copy_file(probe_, c.copy, fs::copy_options::overwrite_existing);
    }
    ScopedCurrentFolder currentFolder(c.currentFolder);
    for (const auto& [name, launch] : kLaunchFunctions) {
      SCOPED_TRACE(name + (" " + WideToUtf8(c.program)));
      const DWORD processId = launch(c.program, c.text);
      ASSERT_NE(processId, Process::kLaunchFailed);
      Report report = AwaitReport(reportPath_);
      EXPECT_EQ(report["command"], WideToUtf8(L"\"" + c.program + L"\" " + c.text));
      EXPECT_EQ(report["pid"], std::to_string(processId));
      EXPECT_EQ(report["folder"], WideToUtf8(c.expectedFolder));
    }
  }
  std::error_code ignored;
  fs::remove(atRoot, ignored);
}

TEST_F(LaunchTest, MissingProgramFailsWithTheFailureValueAndLogsNothing) {
  CapturedLog capture;
  for (const auto& [name, launch] : kLaunchFunctions) {
    SCOPED_TRACE(name);
    EXPECT_EQ(launch((folder_.Path() / L"missing.exe").wstring(), L"x"), Process::kLaunchFailed);
    EXPECT_EQ(launch(L"", L""), Process::kLaunchFailed);
  }
  EXPECT_TRUE(capture.Lines().empty());
}

// A started program runs on after its starter has ended. A detached one breaks away from the starter's job
// where the job allows it (the plain launch shows that the job is there and inherited); a job that forbids
// breaking away refuses the first attempt, and the program still starts, inside the job.
TEST_F(LaunchTest, StartedProgramOutlivesItsStarterAndLeavesItsJobWhenDetached) {
  const struct {
    const wchar_t* kind;
    const wchar_t* job;
    const char* inJob;
  } cases[] = {{L"plain", L"none", "0"},
               {L"detached", L"none", "0"},
               {L"plain", L"breakaway", "1"},
               {L"detached", L"breakaway", "0"},
               {L"detached", L"confined", "1"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(WideToUtf8(std::wstring(c.kind) + L" " + c.job));
    const DWORD processId = LaunchThroughStarter(c.kind, c.job);
    ASSERT_NE(processId, Process::kLaunchFailed);
    Report report = AwaitReport(reportPath_);
    EXPECT_EQ(report["pid"], std::to_string(processId));
    EXPECT_EQ(report["starter"], "exited");  // the child saw its starter end before it wrote this
    EXPECT_EQ(report["job"], c.inJob);
  }
}

// For the signed-in user the desktop's shell (Wine's desktop has one as well) starts the program: not as
// this process's child, in the program's folder, with the text. Where it cannot, a warning names the step
// that failed, and the program starts directly as this process's child, its id known.
TEST_F(LaunchTest, ProgramForTheUserStartsThroughTheDesktopShellElseDirectlyAfterAWarning) {
  const HRESULT ole = ::OleInitialize(nullptr);
  const auto uninitialize = MakeScopeExit([ole] {
    if (SUCCEEDED(ole)) ::OleUninitialize();
  });
  const std::string self = std::to_string(::GetCurrentProcessId());
  const Process::DesktopShellFinder noDesktopShell = [](IShellDispatch2** shell, const char** failedStep) {
    *shell = nullptr;
    *failedStep = "IShellWindows::FindWindowSW";
    return E_FAIL;
  };
  for (const bool shellAvailable : {true, false}) {
    SCOPED_TRACE(shellAvailable);
    CapturedLog capture;
    const Process::UserLaunch launch = shellAvailable
                                           ? Process::LaunchAsDesktopUser(probe_.wstring(), L"for \"the user\"")
                                           : Process::LaunchAsDesktopUser(probe_.wstring(), L"x", noDesktopShell);
    EXPECT_EQ(launch.throughDesktopShell, shellAvailable);
    Report report = AwaitReport(reportPath_);
    EXPECT_EQ(report["folder"], WideToUtf8(folder_.Path().wstring()));
    const std::vector<std::string> warnings = capture.Find(spdlog::level::warn, "");
    if (shellAvailable) {
      EXPECT_EQ(launch.processId, Process::kLaunchFailed);
      EXPECT_NE(report["parent"], self);
      EXPECT_NE(report["command"].find(" for \"the user\""), std::string::npos) << report["command"];
      EXPECT_TRUE(warnings.empty());
    } else {
      EXPECT_EQ(report["pid"], std::to_string(launch.processId));
      EXPECT_EQ(report["parent"], self);
      ASSERT_EQ(warnings.size(), 1u);
      EXPECT_NE(warnings[0].find("IShellWindows::FindWindowSW"), std::string::npos) << warnings[0];
      EXPECT_NE(warnings[0].find("0x80004005"), std::string::npos) << warnings[0];
    }
  }
}

std::string RelaunchLogLine(const std::string& processId) {
  return "[info] 更新逻辑触发二次启动，进程号：" + processId;
}

// An empty text keeps the leading space of " -update" after the space that follows the program. A probe
// that renamed its own file first cannot restart: the failure value is logged.
TEST_F(LaunchTest, UpgradeRelaunchStartsItselfWithUpdateAppendedAndLogsTheNewProcessId) {
  const std::tuple<const wchar_t*, std::wstring, std::wstring> cases[] = {
      {L"relaunch", L"child \"x y\"", L"child \"x y\" -update"},
      {L"relaunch", L"", L" -update"},
      {L"relaunch-moved", L"x", L""}};
  for (const auto& [command, text, tail] : cases) {
    SCOPED_TRACE(WideToUtf8(command + (L" " + text)));
    const ProcessOutput starter = RunStarter(command, text);
    std::string processId = "4294967295";  // the failure value
    if (!tail.empty()) {
      Report report = AwaitReport(reportPath_);
      EXPECT_EQ(report["command"], WideToUtf8(L"\"" + probe_.wstring() + L"\" " + tail));
      processId = report["pid"];
    }
    EXPECT_EQ(SplitLines(starter.standardOutput), std::vector<std::string>{RelaunchLogLine(processId)});
  }
}

TEST(UpgradeMarker, OnlyAFileAtTheMarkerPathCounts) {
  TempFolder temp(L"marker");
  ScopedEnvironment tmp(L"TMP", temp.Path().wstring() + L"\\");
  ScopedEnvironment tempVariable(L"TEMP", temp.Path().wstring() + L"\\");
  const fs::path marker = temp.Path() / L"quillon" / L"upgrade" / L"quillon_upload.log";
  EXPECT_EQ(fs::path(UpgradeMarkerPath()), marker);
  EXPECT_FALSE(UpgradeMarkerPresent());

  fs::create_directories(marker);
  EXPECT_FALSE(UpgradeMarkerPresent()) << "a folder is not the marker";

  fs::remove(marker);
  { std::ofstream(marker) << "anything"; }
  EXPECT_TRUE(UpgradeMarkerPresent());
}

}  // namespace
