#include "app/system_info.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "tests/support/machine_guid_override.h"
#include "tests/support/process_runner.h"
#include "tests/support/temp_folder.h"

namespace {

// From the version resource; empty for a program without one.
TEST(ExecutableQueries, ProductVersionComesFromTheVersionResource) {
  EXPECT_EQ(GetProductVersion(), QUILLON_VERSION_TEXT);
  const ProcessOutput probe = RunProcess(L"\"" + (TestProgramFolder() / L"test_probe.exe").wstring() + L"\" version");
  ASSERT_TRUE(probe.started);
  EXPECT_EQ(probe.standardOutput, "[]\r\n");  // the console writes Windows line ends
}

TEST(TempDirectory, ShortFormIsReturnedInLongFormWithTrailingBackslash) {
  TempFolder base;
  const std::filesystem::path longFolder = base.Path() / L"A Rather Long Folder Name";
  std::filesystem::create_directories(longFolder);
  wchar_t shortForm[MAX_PATH] = {};
  ASSERT_GT(::GetShortPathNameW(longFolder.c_str(), shortForm, MAX_PATH), 0u);
  ASSERT_EQ(std::wstring(shortForm).find(L"A Rather Long Folder Name"), std::wstring::npos)
      << "the file system gave no short name to test with";

  ScopedEnvironment tmp(L"TMP", shortForm);
  ScopedEnvironment temp(L"TEMP", shortForm);
  EXPECT_EQ(GetTempDirectory(), longFolder.wstring() + L"\\");
}

TEST(TempDirectory, MissingFolderIsReturnedAsTheSystemGaveIt) {
  // The long-name lookup fails for a folder that does not exist; the path is used unchanged.
  ScopedEnvironment tmp(L"TMP", L"C:\\NoSuchQuillonFolder\\Sub");
  ScopedEnvironment temp(L"TEMP", L"C:\\NoSuchQuillonFolder\\Sub");
  EXPECT_EQ(GetTempDirectory(), L"C:\\NoSuchQuillonFolder\\Sub\\");
}

// Read from the 64-bit view; a missing value or one longer than the buffer gives thirty-two zeros.
TEST(MachineGuid, ReadFromThe64BitViewElseZeros) {
  const std::wstring zeros(32, L'0');
  const std::pair<std::optional<std::wstring>, std::wstring> cases[] = {
      {L"0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0", L"0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0"},
      {std::nullopt, zeros},
      {std::wstring(200, L'a'), zeros}};
  for (const auto& [value, expected] : cases) {
    MachineGuidOverride guid;
    ASSERT_TRUE(guid.Ready());
    value ? guid.Set(*value) : guid.Remove();
    EXPECT_EQ(GetMachineGuid(), expected) << (value ? value->size() : 0);
  }
}

}  // namespace
