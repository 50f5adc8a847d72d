// Links written through the real shell link object and read back through it.
#include "engine/shortcuts.h"

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "engine/install_engine.h"
#include "tests/support/captured_log.h"
#include "tests/support/shell_link.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using spdlog::level::err;

fs::path MakeFile(const fs::path& file) {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << "program";
  return file;
}

class ShortcutsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(desktopLink_, ignored);
    fs::remove_all(startMenuFolder_, ignored);
    for (const fs::path& pin : pins_) fs::remove(pin, ignored);
  }

  fs::path Pin(const std::wstring& name, const fs::path& target) {
    const fs::path pin = fs::path(TaskbarPinFolder()) / name;
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

TEST_F(ShortcutsTest, LinkCarriesTargetDescriptionWorkingDirectoryAndIcon) {
  const fs::path target = MakeFile(installDir_ / L"quillon_launcher.exe");
  const fs::path link = base_.Path() / L"Quillon.lnk";
  ASSERT_TRUE(CreateShortcut(target.wstring(), link.wstring(), L"Quillon", target.wstring()));
  const ShellLinkFields fields = ReadShellLink(link);
  ASSERT_TRUE(fields.loaded);
  EXPECT_EQ(fields.target, target.wstring());
  EXPECT_EQ(fields.description, L"Quillon");
  EXPECT_EQ(fields.workingDirectory, installDir_.wstring());
  EXPECT_EQ(fields.iconPath, target.wstring());
  EXPECT_EQ(fields.iconIndex, 0);
}

TEST_F(ShortcutsTest, ReadOnlyOldLinkIsReplacedAndADirectoryIsNot) {
  const fs::path target = MakeFile(installDir_ / L"quillon_launcher.exe");
  const fs::path link = MakeFile(base_.Path() / L"old.lnk");
  ::SetFileAttributesW(link.c_str(), FILE_ATTRIBUTE_READONLY);
  ASSERT_TRUE(CreateShortcut(target.wstring(), link.wstring(), L"Quillon", target.wstring()));
  EXPECT_EQ(ReadShellLink(link).target, target.wstring());

  const fs::path directory = base_.Path() / L"dir.lnk";
  fs::create_directories(directory);
  EXPECT_FALSE(CreateShortcut(target.wstring(), directory.wstring(), L"Quillon", target.wstring()));
  EXPECT_TRUE(fs::is_directory(directory));
}

TEST_F(ShortcutsTest, ThreeLinksForAllUsersAndNoDuplicatesOnASecondRun) {
  const InstallEngine engine{nullptr, installDir_.wstring()};
  const std::wstring launcher = MakeFile(installDir_ / L"quillon_launcher.exe").wstring();
  const std::wstring uninstaller = MakeFile(installDir_ / L"unins000.exe").wstring();
  engine.CreateShortcuts();
  engine.CreateShortcuts();

  const ShellLinkFields desktop = ReadShellLink(desktopLink_);
  EXPECT_EQ(desktop.target, launcher);
  EXPECT_EQ(desktop.description, L"Quillon");
  const ShellLinkFields startMenu = ReadShellLink(startMenuFolder_ / L"Quillon.lnk");
  EXPECT_EQ(startMenu.target, launcher);
  EXPECT_EQ(startMenu.iconPath, launcher);
  const ShellLinkFields uninstall = ReadShellLink(startMenuFolder_ / L"卸载Quillon.lnk");
  EXPECT_EQ(uninstall.target, uninstaller);
  EXPECT_EQ(uninstall.description, L"卸载Quillon");
  EXPECT_EQ(uninstall.workingDirectory, installDir_.wstring());
  EXPECT_EQ(std::distance(fs::directory_iterator(startMenuFolder_), fs::directory_iterator()), 2);
  EXPECT_EQ(log_.CountAtLevel(err), 0u);
}

TEST_F(ShortcutsTest, DirectoryAtTheDesktopLinkPathGivesItsErrorLineOnly) {
  fs::create_directories(desktopLink_);
  InstallEngine{nullptr, installDir_.wstring()}.CreateShortcuts();
  const std::vector<LogLine> lines = log_.Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].level, err);
  EXPECT_EQ(lines[0].text, "CreateShortcut desktop err");
  EXPECT_TRUE(ReadShellLink(startMenuFolder_ / L"Quillon.lnk").loaded);
  EXPECT_TRUE(ReadShellLink(startMenuFolder_ / L"卸载Quillon.lnk").loaded);
}

TEST_F(ShortcutsTest, TaskbarPinsOfTheApplicationPointAtTheNewLauncher) {
  const fs::path oldMain = MakeFile(base_.Path() / L"Old Place" / L"QUILLON.EXE");
  const fs::path oldLauncher = MakeFile(base_.Path() / L"Old Place" / L"Quillon_Launcher.exe");
  const fs::path other = MakeFile(base_.Path() / L"Other" / L"notes.exe");
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

TEST(ContainsNoCase, FindsSubstringsIgnoringCase) {
  EXPECT_TRUE(ContainsNoCase(L"C:\\Old\\QUILLON.EXE", L"quillon.exe"));
  EXPECT_FALSE(ContainsNoCase(L"C:\\Old\\quillon_crosshair.exe", L"quillon.exe"));
  EXPECT_TRUE(ContainsNoCase(L"anything", L""));
}

}  // namespace
