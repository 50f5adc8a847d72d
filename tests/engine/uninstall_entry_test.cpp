// The uninstall entry in the real registry of the prefix, read back where the main window looks for it.
#include "engine/uninstall_entry.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/unique_resource.h"
#include "engine/install_engine.h"

namespace {

// The main window's lookup: the 32-bit view spelled out, from a 32-bit process.
const wchar_t kReadBackKey[] =
    L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
    L"{7A31C0DE-2F4B-4E19-9C5D-3B8E6A0F1D27}}_is1";

struct RegistryValue {
  bool found = false;
  DWORD type = 0;
  DWORD bytes = 0;
  std::wstring text;
};

RegistryValue Read(const wchar_t* name) {
  RegistryValue value;
  UniqueHkey key;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kReadBackKey, 0, KEY_READ, key.Put()) != ERROR_SUCCESS) return value;
  wchar_t data[1024] = {};
  value.bytes = sizeof(data);
  if (::RegQueryValueExW(key.Get(), name, nullptr, &value.type, reinterpret_cast<BYTE*>(data), &value.bytes) !=
      ERROR_SUCCESS) {
    return value;
  }
  value.found = true;
  value.text = data;
  return value;
}

class UninstallEntryTest : public ::testing::Test {
 protected:
  void SetUp() override { ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kUninstallSubkey); }
  void TearDown() override { ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kUninstallSubkey); }
};

TEST_F(UninstallEntryTest, SixValuesLandInThe32BitViewWithTheirTerminators) {
  const InstallEngine engine{nullptr, L"C:\\Program Files (x86)\\vexor\\Quillon"};
  engine.WriteUninstallEntry();

  const RegistryValue uninstall = Read(L"UninstallString");
  ASSERT_TRUE(uninstall.found);
  EXPECT_EQ(uninstall.type, static_cast<DWORD>(REG_SZ));
  // Unquoted although the path holds spaces, and stored with its NUL.
  EXPECT_EQ(uninstall.text, L"C:\\Program Files (x86)\\vexor\\Quillon\\unins000.exe");
  EXPECT_EQ(uninstall.bytes, (uninstall.text.size() + 1) * sizeof(wchar_t));
  EXPECT_EQ(Read(L"DisplayName").text, L"Quillon");
  EXPECT_EQ(Read(L"DisplayIcon").text, L"C:\\Program Files (x86)\\vexor\\Quillon\\quillon_launcher.exe");
  // The installer's own product version, from this program's version block.
  EXPECT_EQ(Read(L"DisplayVersion").text, QUILLON_VERSION_TEXT);
  EXPECT_EQ(Read(L"InstallLocation").text, L"C:\\Program Files (x86)\\vexor\\Quillon");
  EXPECT_EQ(Read(L"Publisher").text, L"Vexor工作室");
}

TEST_F(UninstallEntryTest, SecondRunOverwritesOurValuesAndKeepsForeignOnes) {
  InstallEngine{nullptr, L"D:\\first"}.WriteUninstallEntry();
  ASSERT_TRUE(SetUninstallValue(L"EstimatedSize", L"foreign"));
  InstallEngine{nullptr, L"E:\\second place\\"}.WriteUninstallEntry();

  EXPECT_EQ(Read(L"InstallLocation").text, L"E:\\second place\\");
  // The separator is appended without looking at the folder text.
  EXPECT_EQ(Read(L"UninstallString").text, L"E:\\second place\\\\unins000.exe");
  EXPECT_EQ(Read(L"EstimatedSize").text, L"foreign");
}

}  // namespace
