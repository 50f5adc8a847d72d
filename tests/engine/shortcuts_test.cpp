// Links written through the real shell link object and read back through it.
#include "engine/shortcuts.h"

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/install_engine.h"
#include "tests/support/captured_log.h"
#include "tests/support/shell_link.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using spdlog::level::err;

class ShortcutsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(desktopLink_, ignored);
    fs::remove_all(startMenuFolder_, ignored);
    for (const fs::path& pin : pins_) fs::remove(pin, ignored);
  }

  fs::path Pin(const std::wstring& name, const fs::path& target) {
    fs::path pin = fs::path(TaskbarPinFolder()) / name;
    fs::create_directories(pin.parent_path());
    pins_.push_back(pin);
    EXPECT_TRUE(CreateShortcut(target.wstring(), pin.wstring(), L"pin", target.wstring()));
    return pin;
  }

  TempFolder base_{L"links"};
  const fs::path installDir_ = base_.Path() / L"Quillon Home";
  const fs::path desktopLink_ = ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY) / L"Quillon.lnk";
  const fs::path startMenuFolder_ = ShellFolder(CSIDL_COMMON_PROGRAMS) / L"Quillon";
  std::vector<fs::path> pins_;
  CapturedLog log_;
};

TEST_F(ShortcutsTest, ReadOnlyOldLinkIsReplaced) {
  const fs::path target = WriteTestFile(installDir_ / L"quillon_launcher.exe");
  const fs::path link = WriteTestFile(base_.Path() / L"old.lnk");
  ::SetFileAttributesW(link.c_str(), FILE_ATTRIBUTE_READONLY);
  ASSERT_TRUE(CreateShortcut(target.wstring(), link.wstring(), L"Quillon", target.wstring()));
  EXPECT_EQ(ReadShellLink(link).target, target.wstring());
}

TEST_F(ShortcutsTest, ThreeLinksForAllUsersAndNoDuplicatesOnASecondRun) {
  const InstallEngine engine{nullptr, installDir_.wstring()};
  const std::wstring launcher = WriteTestFile(installDir_ / L"quillon_launcher.exe").wstring();
  const std::wstring uninstaller = WriteTestFile(installDir_ / L"unins000.exe").wstring();
  engine.CreateShortcuts();
  engine.CreateShortcuts();

  const struct {
    fs::path link;
    std::wstring target;
    const wchar_t* description;
  } links[] = {{desktopLink_, launcher, L"Quillon"},
               {startMenuFolder_ / L"Quillon.lnk", launcher, L"Quillon"},
               {startMenuFolder_ / L"卸载Quillon.lnk", uninstaller, L"卸载Quillon"}};
  for (const auto& expected : links) {
    const ShellLinkFields fields = ReadShellLink(expected.link);
    EXPECT_EQ(fields.target, expected.target) << expected.link;
    EXPECT_EQ(fields.description, expected.description) << expected.link;
    EXPECT_EQ(fields.workingDirectory, installDir_.wstring()) << expected.link;
    EXPECT_EQ(fields.iconPath, expected.target) << expected.link;
    EXPECT_EQ(fields.iconIndex, 0) << expected.link;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(startMenuFolder_), fs::directory_iterator()), 2);
  EXPECT_EQ(log_.CountAtLevel(err), 0u);
}

TEST_F(ShortcutsTest, DirectoryAtTheDesktopLinkPathGivesItsErrorLineOnly) {
  fs::create_directories(desktopLink_);
  InstallEngine{nullptr, installDir_.wstring()}.CreateShortcuts();
  EXPECT_EQ(log_.Lines(), (std::vector<LogLine>{{err, "CreateShortcut desktop err"}}));
  EXPECT_TRUE(fs::is_directory(desktopLink_));
  EXPECT_TRUE(ReadShellLink(startMenuFolder_ / L"Quillon.lnk").loaded);
  EXPECT_TRUE(ReadShellLink(startMenuFolder_ / L"卸载Quillon.lnk").loaded);
}

TEST_F(ShortcutsTest, TaskbarPinsOfTheApplicationPointAtTheNewLauncher) {
  const fs::path oldMain = WriteTestFile(base_.Path() / L"Old Place" / L"QUILLON.EXE");
  const fs::path oldLauncher = WriteTestFile(base_.Path() / L"Old Place" / L"Quillon_Launcher.exe");
  const fs::path other = WriteTestFile(base_.Path() / L"Other" / L"notes.exe");
  const fs::path mainPin = Pin(L"quillon test main.lnk", oldMain);
  const fs::path launcherPin = Pin(L"quillon test launcher.lnk", oldLauncher);
  const fs::path otherPin = Pin(L"quillon test other.lnk", other);
  const fs::path upperCasePin = Pin(L"quillon test upper.LNK", oldMain);

  InstallEngine{nullptr, installDir_.wstring()}.RepointTaskbarPins();

  const std::wstring launcher = (installDir_ / L"quillon_launcher.exe").wstring();
  for (const fs::path& pin : {mainPin, launcherPin}) {
    const ShellLinkFields fields = ReadShellLink(pin);
    EXPECT_EQ(fields.target, launcher) << pin;
    EXPECT_EQ(fields.workingDirectory, installDir_.wstring());
    EXPECT_EQ(fields.iconPath, launcher);
  }
  EXPECT_EQ(ReadShellLink(otherPin).target, other.wstring());
  EXPECT_EQ(ReadShellLink(upperCasePin).target, oldMain.wstring());
}

}  // namespace
