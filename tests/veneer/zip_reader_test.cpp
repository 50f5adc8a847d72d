#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/temp_folder.h"
#include "tests/veneer/veneer_test_support.h"
#include "veneer/zip_reader.h"

using namespace Veneer;

namespace {

struct ZipCloser {
  HZIP zip;
  ~ZipCloser() { CloseZip(zip); }
};

std::string Unzip(HZIP zip, const wchar_t* name, unsigned* result = nullptr) {
  ZipEntryInfo info;
  if (FindZipItem(zip, name, true, &info) != kZipOk) return "<missing>";
  std::string bytes(info.uncompressedSize, '\0');
  const unsigned code = UnzipItem(zip, info.index, bytes.data(), info.uncompressedSize);
  if (result != nullptr) *result = code;
  return code == kZipOk ? bytes : "<error>";
}

class ZipReader : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(zip, nullptr); }
  HZIP zip = OpenZip(VeneerTest::FixturePath(L"skin.zip").c_str(), "");
  ZipCloser closer{zip};
};

}  // namespace

TEST_F(ZipReader, ReadsDeflatedStoredAndNestedEntries) {
  EXPECT_EQ(GetZipItemCount(zip), 5);
  EXPECT_EQ(Unzip(zip, L"Stored.TXT"), "stored bytes");
  EXPECT_EQ(Unzip(zip, L"main.xml").rfind("<?xml", 0), 0u);
  EXPECT_EQ(Unzip(zip, L"deep/er/big.txt").size(), 600000u);
  EXPECT_EQ(Unzip(zip, L"img/logo.png").substr(1, 3), "PNG");
}

TEST_F(ZipReader, NamesIgnoreCaseAndBackslashes) {
  ZipEntryInfo info;
  EXPECT_EQ(FindZipItem(zip, L"IMG\\Logo.PNG", true, &info), kZipOk);
  EXPECT_EQ(info.name, L"img/logo.png");
  EXPECT_EQ(FindZipItem(zip, L"IMG\\Logo.PNG", false, &info), kZipNotFound);
  EXPECT_EQ(info.index, -1);
  EXPECT_EQ(FindZipItem(zip, L"img/logo", true, &info), kZipNotFound);
}

TEST_F(ZipReader, ShortBufferReportsMoreData) {
  ZipEntryInfo info;
  ASSERT_EQ(FindZipItem(zip, L"deep/er/big.txt", true, &info), kZipOk);
  std::vector<char> part(1000);
  EXPECT_EQ(UnzipItem(zip, info.index, part.data(), static_cast<unsigned>(part.size())), kZipMore);
  ASSERT_EQ(FindZipItem(zip, L"stored.txt", true, &info), kZipOk);
  EXPECT_EQ(UnzipItem(zip, info.index, part.data(), 3), kZipMore);
  EXPECT_EQ(std::string(part.data(), 3), "sto");
  EXPECT_EQ(UnzipItem(zip, 99, part.data(), 3), kZipArgs);
}

TEST(DamagedZip, DirectoriesDoNotOpen) {
  for (const wchar_t* name : {L"directory_offset_past_end.zip", L"directory_name_too_long.zip", L"truncated_half.zip",
                              L"not_an_image.png", L"no_such_archive.zip"}) {
    EXPECT_EQ(OpenZip(VeneerTest::FixturePath(name).c_str(), ""), nullptr)
        << testing::PrintToString(std::wstring(name));
  }
  const char junk[30] = "PK\x05\x06 but far too short";
  EXPECT_EQ(OpenZipFromMemory(junk, sizeof(junk), ""), nullptr);
}

TEST(DamagedZip, EntriesFailCleanly) {
  struct Case {
    const wchar_t* archive;
    const wchar_t* entry;
  };
  for (const Case& c :
       {Case{L"corrupt_deflate_data.zip", L"main.xml"}, Case{L"local_header_offset_past_data.zip", L"main.xml"},
        Case{L"compressed_size_past_end.zip", L"main.xml"}}) {
    HZIP zip = OpenZip(VeneerTest::FixturePath(c.archive).c_str(), "");
    ASSERT_NE(zip, nullptr) << testing::PrintToString(std::wstring(c.archive));
    ZipCloser closer{zip};
    unsigned result = kZipOk;
    EXPECT_EQ(Unzip(zip, c.entry, &result), "<error>");
    EXPECT_EQ(result, kZipCorrupt) << testing::PrintToString(std::wstring(c.archive));
    // The other entries of the same archive are still readable.
    EXPECT_EQ(Unzip(zip, L"stored.txt"), "stored bytes");
  }
}
