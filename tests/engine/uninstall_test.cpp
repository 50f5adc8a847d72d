// Removing an installation by its record: what the installer put there goes, what the user added stays.
#include <gtest/gtest.h>

#include <windows.h>

#include <set>

#include "app/unique_resource.h"
#include "engine/folder_ownership.h"
#include "engine/install_record.h"
#include "engine/uninstall.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

// The paths of TreeSnapshot, without the contents.
std::set<std::wstring> TreeOf(const fs::path& root) {
  std::set<std::wstring> tree;
  for (const auto& entry : TreeSnapshot(root)) tree.insert(entry.first);
  return tree;
}

// An installation as the installer leaves it: the application's files, the marker and the record of both.
fs::path MakeInstallation(const fs::path& parent) {
  fs::path root = parent / "Quillon";
  for (const char* file : {"quillon_launcher.exe", "unins000.exe", "docs/LICENSE.txt", "resources/locale/en.txt",
                           "resources/themes/default.json", "plugins/readme.txt"}) {
    WriteTestFile(root / file);
  }
  WriteTestFile(root / kInstallMarkerName);
  EXPECT_TRUE(WriteInstallRecord(root.wstring(), RecordTree(root.wstring())));
  return root;
}

}  // namespace

TEST(RemoveRecordedFiles, OnlyTheUsersFilesAndTheirFoldersStay) {
  const TempFolder temp(L"uninstall");
  const fs::path root = MakeInstallation(temp.Path());
  const std::optional<InstallRecord> record = ReadInstallRecord(root.wstring());
  ASSERT_TRUE(record);
  // The user's additions, a recorded file made read-only and one the user already deleted.
  WriteTestFile(root / "resources/locale/my_words.txt");
  WriteTestFile(root / "projects/draft.txt");
  ::SetFileAttributesW((root / "docs/LICENSE.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  fs::remove(root / "plugins/readme.txt");

  const RemovalOutcome outcome = RemoveRecordedFiles(root.wstring(), *record, L"unins000.exe");
  EXPECT_TRUE(outcome.filesInUse.empty());
  EXPECT_EQ(std::set<std::wstring>(outcome.keptFolders.begin(), outcome.keptFolders.end()),
            (std::set<std::wstring>{L"resources", L"resources\\locale"}));
  EXPECT_EQ(TreeOf(root),
            (std::set<std::wstring>{L"projects/", L"projects/draft.txt", L"resources/", L"resources/locale/",
                                    L"resources/locale/my_words.txt", L"unins000.exe"}));
}

TEST(RemoveRecordedFiles, AnInstallationWithoutTheUsersFilesGoesAsAWhole) {
  const TempFolder temp(L"uninstall");
  const fs::path root = MakeInstallation(temp.Path());
  const RemovalOutcome outcome = RemoveRecordedFiles(root.wstring(), *ReadInstallRecord(root.wstring()));
  EXPECT_EQ(outcome.removedFiles, 6);  // the marker goes with the record, not counted
  EXPECT_FALSE(fs::exists(root));
}

TEST(RemoveRecordedFiles, AFileInUseKeepsTheRecordAndTheMarkerForAnotherRun) {
  const TempFolder temp(L"uninstall");
  const fs::path root = MakeInstallation(temp.Path());
  UniqueFileHandle held(::CreateFileW((root / "quillon_launcher.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  const RemovalOutcome outcome = RemoveRecordedFiles(root.wstring(), *ReadInstallRecord(root.wstring()));
  EXPECT_EQ(outcome.filesInUse, std::vector<std::wstring>{L"quillon_launcher.exe"});
  EXPECT_EQ(TreeOf(root), (std::set<std::wstring>{L"quillon_launcher.exe", L"quillon_installed_files.txt",
                                                  L"quillon_installation.ini"}));
}
