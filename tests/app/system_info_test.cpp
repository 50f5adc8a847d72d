#include "app/system_info.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "app/text_encoding.h"
#include "app/unique_resource.h"
#include "tests/support/machine_guid_override.h"
#include "tests/support/process_runner.h"
#include "tests/support/temp_folder.h"

namespace {

TEST(ExecutableQueries, NameAndFolderOfTheRunningProgram) {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  EXPECT_EQ(GetExeFileName(), L"app_test.exe");
  EXPECT_EQ(std::filesystem::path(GetExeDirectory()) / GetExeFileName(), std::filesystem::path(path));
  EXPECT_NE(GetExeDirectory().back(), L'\\');
}

TEST(ExecutableQueries, ProductVersionComesFromTheVersionResource) {
  EXPECT_EQ(GetProductVersion(), QUILLON_VERSION_TEXT);
}

TEST(ExecutableQueries, ProgramWithoutVersionResourceHasEmptyVersion) {
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

TEST(MachineGuid, ReadFromThe64BitView) {
  MachineGuidOverride guid;
  ASSERT_TRUE(guid.Ready());
  guid.Set(L"0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0");
  EXPECT_EQ(GetMachineGuid(), L"0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0");
}

TEST(MachineGuid, MissingValueGivesThirtyTwoZeros) {
  MachineGuidOverride guid;
  ASSERT_TRUE(guid.Ready());
  guid.Remove();
  EXPECT_EQ(GetMachineGuid(), std::wstring(32, L'0'));
}

TEST(MachineGuid, ValueLongerThanTheBufferGivesThirtyTwoZeros) {
  MachineGuidOverride guid;
  ASSERT_TRUE(guid.Ready());
  guid.Set(std::wstring(200, L'a'));
  EXPECT_EQ(GetMachineGuid(), std::wstring(32, L'0'));
}

}  // namespace
