// Real processes under the application's names (copies of the test probe) are started and swept.
#include "engine/kill_running_app.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/captured_log.h"
#include "tests/support/running_copy.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

class KillRunningAppTest : public ::testing::Test {
 protected:
  TempFolder folder_{L"kill"};
  std::vector<std::unique_ptr<RunningCopy>> copies_;
  CapturedLog log_;
};

// Only the programs of the folder being replaced and of the registered installation are the application's;
// same-named programs elsewhere (every Chromium-based program ships a crashpad_handler.exe) belong to others.
// Names match whole and in any letter case; each process ended is counted and waited for.
TEST_F(KillRunningAppTest, ThreeSweepsEndOnlyCopiesInTheApplicationsFolders) {
  const fs::path apps = folder_.Path() / L"Apps";
  const fs::path install = apps / L"Quillon";
  const fs::path registered = folder_.Path() / L"Old" / L"Quillon";
  struct Case {
    fs::path program;
    bool ended;
  };
  const Case cases[] = {
      {install / L"quillon.exe", true},
      {install / L"crashpad" / L"crashpad_handler.exe", true},  // below the folder
      {install / L"a" / L"QUILLON.EXE", true},
      {install / L"b" / L"quillon.exe", true},  // a second process of the same name
      {install / L"quillon_crosshair.exe", true},
      {install / L"quillon.exe.bak.exe", false},
      {registered / L"quillon_launcher.exe", true},
      {apps / L"Quillon2" / L"quillon.exe", false},  // a sibling whose name starts with the folder's
      {apps / L"Quillon_tmp_installing" / L"quillon_crosshair.exe", false},
      {folder_.Path() / L"Chat" / L"crashpad_handler.exe", false},
      {folder_.Path() / L"Chat" / L"quillon.exe", false},
  };
  for (const Case& c : cases) {
    copies_.push_back(std::make_unique<RunningCopy>(c.program));
    EXPECT_TRUE(copies_.back()->Listed()) << c.program;
  }

  // The folder texts as they may come: another letter case, a trailing separator, forward slashes.
  std::wstring installText = install.wstring() + L"\\";
  for (wchar_t& c : installText) c = static_cast<wchar_t>(::towupper(c));
  std::wstring registeredText = registered.wstring();
  for (wchar_t& c : registeredText) c = c == L'\\' ? L'/' : c;
  KillRunningApp({installText, registeredText});

  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(copies_[i]->Terminated(), cases[i].ended) << cases[i].program;
    EXPECT_EQ(copies_[i]->Running(), !cases[i].ended) << cases[i].program;
  }
  EXPECT_EQ(log_.Lines(), (std::vector<LogLine>{{spdlog::level::info, "第一次Kill 共关闭了 6 个相关进程"},
                                                {spdlog::level::info, "第二次Kill 共关闭了 0 个相关进程"},
                                                {spdlog::level::info, "第三次Kill 共关闭了 0 个相关进程"}}));
}

// A folder that would take in a whole volume holds nothing; "." and ".." are resolved before comparing.
TEST(ProgramIsInFoldersTest, ComparesWholeFolderPrefixes) {
  struct Case {
    const wchar_t* image;
    const wchar_t* folder;
    bool inside;
  };
  const Case cases[] = {
      {L"C:\\Apps\\Quillon\\quillon.exe", L"c:\\apps\\quillon", true},
      {L"C:\\Apps\\Quillon\\bin\\quillon.exe", L"C:\\Apps\\Other\\..\\Quillon\\.", true},
      {L"C:\\Apps\\Quillon2\\quillon.exe", L"C:\\Apps\\Quillon", false},
      {L"C:\\Apps\\Quillon.exe", L"C:\\Apps\\Quillon", false},
      {L"C:\\Apps\\Quillon\\quillon.exe", L"C:\\Apps\\Quillon\\bin", false},
      {L"C:\\quillon.exe", L"C:\\", false},
      {L"C:\\Apps\\quillon.exe", L"C:", false},
      {L"\\\\server\\share\\quillon.exe", L"\\\\server\\share\\", false},
      {L"C:\\Apps\\Quillon\\quillon.exe", L"", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ProgramIsInFolders(c.image, {c.folder}), c.inside) << c.image << " in " << c.folder;
  }
}

}  // namespace
