// Which folder texts may start an installation, and the folder proposed after a pick in the folder dialog.
#include <gtest/gtest.h>

#include <windows.h>

#include "tests/support/temp_folder.h"
#include "engine/folder_ownership.h"
#include "engine/install_folder.h"

namespace {

FolderProblem ProblemOf(const std::wstring& text) { return CheckInstallFolder(text).problem; }

}  // namespace

// Texts that would unpack somewhere else (blank; relative to the current folder or to a drive's current
// folder), roots (the swap would move them) and names no folder can have are refused.
TEST(InstallFolderCheck, TextsThatCannotTakeAnInstallationAreRefused) {
  const std::pair<const wchar_t*, FolderProblem> cases[] = {
      {L"", FolderProblem::kEmpty},
      {L"  \t ", FolderProblem::kEmpty},
      {L"Quillon", FolderProblem::kNotAbsolute},
      {L"vexor\\Quillon", FolderProblem::kNotAbsolute},
      {L"C:Quillon", FolderProblem::kNotAbsolute},
      {L"\\Quillon", FolderProblem::kNotAbsolute},
      {L".\\Quillon", FolderProblem::kNotAbsolute},
      {L"C:\\", FolderProblem::kRoot},
      {L"C:\\\\\\", FolderProblem::kRoot},
      {L"\\\\server\\share", FolderProblem::kRoot},
      {L"\\\\server\\share\\", FolderProblem::kRoot},
      {L"C:\\Apps|Tools\\Quillon", FolderProblem::kInvalidName},
      {L"C:\\Apps\\Qu?llon", FolderProblem::kInvalidName},
      {L"C:\\Apps\\a:b", FolderProblem::kInvalidName},
      {L"C:\\Apps\\<Quillon>", FolderProblem::kInvalidName},
      {L"C:\\CON\\Quillon", FolderProblem::kInvalidName},
      {L"C:\\Apps\\nul.txt", FolderProblem::kInvalidName},
      {L"C:\\Apps\\com1", FolderProblem::kInvalidName},
      {L"C:\\Apps\\Console\\Quillon", FolderProblem::kNone},  // merely starts like a device
  };
  for (const auto& [text, problem] : cases) EXPECT_EQ(ProblemOf(text), problem) << text;
}

TEST(InstallFolderCheck, AMissingDriveOrAFileOnTheWayIsRefused) {
  // The first drive letter from the end of the alphabet that the machine does not have.
  const DWORD drives = ::GetLogicalDrives();
  wchar_t letter = 0;
  for (wchar_t candidate = L'Y'; candidate > L'D' && letter == 0; --candidate) {
    if (!(drives & (1u << (candidate - L'A')))) letter = candidate;
  }
  ASSERT_NE(letter, 0);
  EXPECT_EQ(ProblemOf(std::wstring(1, letter) + L":\\vexor\\Quillon"), FolderProblem::kMissingRoot);

  TempFolder temp;
  const std::filesystem::path file = WriteTestFile(temp.Path() / L"taken", "a file, not a folder");
  EXPECT_EQ(ProblemOf(file.wstring()), FolderProblem::kFileInTheWay);
  EXPECT_EQ(ProblemOf((file / L"Quillon").wstring()), FolderProblem::kFileInTheWay);
}

// The checks that follow (whose folder it is, what the swap moves) must see the folder Windows would use,
// so blanks around the text and trailing separators go, "/", "." and ".." are resolved on the text, and names
// Windows would silently change are refused.
TEST(InstallFolderCheck, TextsAreNormalisedBeforeAnyCheck) {
  const struct {
    const wchar_t* text;
    const wchar_t* folder;
    FolderProblem problem;
  } cases[] = {
      {L"C:/Program Files (x86)/vexor/Quillon/", L"C:\\Program Files (x86)\\vexor\\Quillon", FolderProblem::kNone},
      {L"  C:\\Apps\\vexor\\Quillon\\\\ ", L"C:\\Apps\\vexor\\Quillon", FolderProblem::kNone},
      {L"C:\\windows", L"C:\\windows", FolderProblem::kNone},
      {L"C:\\Apps\\.\\vexor\\..\\Quillon", L"C:\\Apps\\Quillon", FolderProblem::kNone},
      {L"C:\\Apps\\\\Quillon", L"C:\\Apps\\Quillon", FolderProblem::kNone},
      {L"C:\\Apps\\..", L"C:\\", FolderProblem::kRoot},
      {L"C:\\..\\Windows", L"", FolderProblem::kInvalidName},
      {L"C:\\Apps\\..\\..\\Quillon", L"", FolderProblem::kInvalidName},
      {L"C:\\Apps\\Quillon.", L"", FolderProblem::kInvalidName},
      {L"C:\\Apps \\Quillon", L"", FolderProblem::kInvalidName},
  };
  for (const auto& c : cases) {
    const FolderCheck check = CheckInstallFolder(c.text);
    EXPECT_EQ(check.problem, c.problem) << c.text;
    if (c.problem != FolderProblem::kInvalidName) {
      EXPECT_EQ(check.folder, c.folder) << c.text;
    }
  }
}

TEST(InstallFolderPick, TheProductFolderFollowsThePickedOneWithoutDoubledSeparator) {
  EXPECT_EQ(AppendProductSubfolder(L"D:\\"), L"D:\\vexor\\Quillon");
  EXPECT_EQ(AppendProductSubfolder(L"D:\\Apps"), L"D:\\Apps\\vexor\\Quillon");
  EXPECT_EQ(AppendProductSubfolder(L"D:\\Apps\\"), L"D:\\Apps\\vexor\\Quillon");
}

// Whose folder it is decides whether the installer may move it: the marker, or the registered folder with
// the launcher in it (an installation from before the marker). Everything else is the user's.
TEST(FolderOwnership, OnlyMissingEmptyOrOurFoldersMayBeReplaced) {
  TempFolder temp;
  const std::filesystem::path& base = temp.Path();
  std::filesystem::create_directories(base / L"empty");
  WriteTestFile(base / L"marked" / kInstallMarkerName);
  WriteTestFile(base / L"registered" / kLauncherName);
  WriteTestFile(base / L"launcher only" / kLauncherName);
  WriteTestFile(base / L"users" / L"sub" / L"notes.txt");
  WriteTestFile(base / L"a file");
  const std::wstring registered = (base / L"REGISTERED").wstring() + L"\\";
  const struct {
    const wchar_t* name;
    FolderState state;
  } cases[] = {
      {L"missing", FolderState::kMissing},       {L"empty", FolderState::kEmpty},
      {L"marked", FolderState::kInstallation},   {L"registered", FolderState::kInstallation},
      {L"launcher only", FolderState::kForeign}, {L"users", FolderState::kForeign},
      {L"a file", FolderState::kForeign},
  };
  for (const auto& c : cases) EXPECT_EQ(ClassifyFolder((base / c.name).wstring(), registered), c.state) << c.name;
}
