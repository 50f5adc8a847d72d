// The test prefix must look like a 64-bit Windows running this 32-bit program under WoW64, because
// that is where users run the installer: registry writes are redirected and "Program Files (x86)" exists.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "app/unique_resource.h"

namespace {

TEST(WineHarness, ProgramRunsUnderWow64) {
  BOOL wow64 = FALSE;
  ASSERT_TRUE(::IsWow64Process(::GetCurrentProcess(), &wow64));
  EXPECT_TRUE(wow64);
}

TEST(WineHarness, RegistryWritesLandInWow6432Node) {
  const wchar_t* probe = L"SOFTWARE\\QuillonHarnessProbe";
  UniqueHkey written;
  ASSERT_EQ(
      ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, probe, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, written.Put(), nullptr),
      ERROR_SUCCESS);
  written.Reset();

  UniqueHkey redirected;
  EXPECT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\WOW6432Node\\QuillonHarnessProbe", 0,
                            KEY_READ | KEY_WOW64_64KEY, redirected.Put()),
            ERROR_SUCCESS);
  UniqueHkey nativeView;
  EXPECT_NE(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, probe, 0, KEY_READ | KEY_WOW64_64KEY, nativeView.Put()), ERROR_SUCCESS);
  ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, probe, KEY_WOW64_32KEY, 0);
}

TEST(WineHarness, ProgramFilesX86Exists) {
  wchar_t folder[MAX_PATH] = {};
  ASSERT_GT(::GetEnvironmentVariableW(L"ProgramFiles(x86)", folder, MAX_PATH), 0u);
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  wchar_t programFiles[MAX_PATH] = {};
  ASSERT_GT(::GetEnvironmentVariableW(L"ProgramFiles", programFiles, MAX_PATH), 0u);
  // A 32-bit process sees the x86 folder as its Program Files.
  EXPECT_EQ(std::filesystem::path(programFiles), std::filesystem::path(folder));
}

}  // namespace
