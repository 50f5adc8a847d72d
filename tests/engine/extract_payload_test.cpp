#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/unique_resource.h"
#include "engine/install_engine.h"
#include "engine/payload_reader.h"
#include "tests/engine/progress_collector.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

fs::path Fixture(const std::wstring& name) { return TestProgramFolder() / L"fixtures" / name; }

// The archive names of the generated tree, in archive order.
std::vector<std::wstring> Manifest() {
  std::vector<std::wstring> names;
  std::wifstream manifest(Fixture(L"tree.manifest"));
  for (std::wstring line; std::getline(manifest, line);) names.push_back(line);
  return names;
}

class ExtractPayloadTest : public ::testing::Test {
 protected:
  // The worker creates the temporary directory before it extracts.
  void SetUp() override { fs::create_directories(target_); }

  bool Extract(const std::wstring& fixture) {
    payload_ = ReadFileBytes(Fixture(fixture));
    EXPECT_FALSE(payload_.empty()) << "missing fixture";
    const InstallEngine engine{collector_.Window(), target_.wstring()};
    const bool result =
        engine.ExtractPayload(payload_.data(), static_cast<uint32_t>(payload_.size()), target_, &failure_);
    collector_.Drain();
    return result;
  }

  TempFolder base_{L"extract"};
  fs::path target_ = base_.Path() / L"Quillon_tmp_installing";
  ProgressCollector collector_;
  std::string payload_;
  ExtractFailure failure_;
};

// The packed tree every way: indexed frames (decoded on every core), one frame of known size (decoded
// once, as older builds packed) and a streamed frame (read twice).
class GeneratedTreeTest : public ExtractPayloadTest, public ::testing::WithParamInterface<const wchar_t*> {};

TEST_P(GeneratedTreeTest, ArrivesWholeWithOneProgressMessagePerEntry) {
  ASSERT_TRUE(Extract(GetParam()));
  EXPECT_EQ(TreeSnapshot(target_), TreeSnapshot(Fixture(L"tree")));
  const std::vector<std::wstring> expected = Manifest();
  ASSERT_GT(expected.size(), 100u);
  ASSERT_EQ(collector_.progress.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(collector_.progress[i].name, expected[i]) << "entry " << i;
    // Exact percentages from the counted total, also for messages held back while counting ran.
    EXPECT_EQ(collector_.progress[i].percent, static_cast<int>((i + 1) * 100 / expected.size())) << "entry " << i;
  }
  EXPECT_EQ(collector_.progress.front().percent, 0);
  EXPECT_TRUE(std::any_of(expected.begin(), expected.end(), [](const std::wstring& n) { return n.back() == L'/'; }));
}

INSTANTIATE_TEST_SUITE_P(EveryReadingPath, GeneratedTreeTest,
                         ::testing::Values(L"tree.tar.zst", L"tree_single_frame.tar.zst", L"tree_streamed.tar.zst"));

// Other tools read the indexed payload as a plain .tar.zst; the library's own zstd reader among them.
TEST_F(ExtractPayloadTest, TheLibrarysZstdReaderSkipsTheIndex) {
  payload_ = ReadFileBytes(Fixture(L"tree.tar.zst"));
  const EntryCount count = CountPayloadEntries(payload_.data(), static_cast<uint32_t>(payload_.size()));
  EXPECT_EQ(count.entries, static_cast<int>(Manifest().size()));
  EXPECT_TRUE(count.cleanEnd);
}

TEST_F(ExtractPayloadTest, DirectoryEntryForAnExistingDirectory) {
  EXPECT_TRUE(Extract(L"directory_after_its_file.tar.zst"));
  EXPECT_EQ(ReadFileBytes(target_ / L"a" / L"b.txt"), "inside\n");
  EXPECT_EQ(ReadFileBytes(target_ / L"a" / L"c.txt"), "also inside\n");
}

// A damaged stream (or none at all) must never pass for a complete tree: the worker would swap it over a
// working installation.
class DamagedPayloadTest : public ExtractPayloadTest, public ::testing::WithParamInterface<const wchar_t*> {};

TEST_P(DamagedPayloadTest, ReportsADamagedInstaller) {
  EXPECT_FALSE(Extract(GetParam()));
  EXPECT_EQ(failure_.cause, FailureCause::kDamagedInstaller);
  EXPECT_FALSE(failure_.libraryError.empty());
  for (size_t i = 1; i < collector_.progress.size(); ++i) {
    EXPECT_LE(collector_.progress[i - 1].percent, collector_.progress[i].percent);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Damaged, DamagedPayloadTest,
    ::testing::Values(L"not_a_tar.tar.zst", L"plain_text.bin", L"truncated.tar.zst", L"bit_flipped_raw_block.tar.zst",
                      L"bit_flipped_compressed.tar.zst", L"checksum_mismatch.tar.zst", L"truncated_streamed.tar.zst",
                      L"checksum_mismatch_streamed.tar.zst", L"checksum_mismatch_single_frame.tar.zst",
                      L"truncated_at_a_frame_end.tar.zst", L"index_counts_too_few.tar.zst",
                      L"index_counts_too_many.tar.zst", L"index_wrong_size.tar.zst", L"index_huge_size.tar.zst",
                      L"index_unknown_version.tar.zst", L"frame_huge_window.tar.zst", L"frame_huge_content.tar.zst"));

class HostilePayloadTest : public ExtractPayloadTest, public ::testing::WithParamInterface<const wchar_t*> {};

TEST_P(HostilePayloadTest, RefusesTheEntryAndReportsFailure) {
  EXPECT_FALSE(Extract(GetParam()));
  EXPECT_EQ(ReadFileBytes(target_ / L"before.txt"), "before\n");
  // Nothing may land outside the target, nor a link or special file inside it.
  for (const fs::path& place :
       {base_.Path(), base_.Path().parent_path(), fs::path(L"C:\\"), fs::path(L"Z:\\"), target_}) {
    std::error_code ignored;
    for (const auto& item : fs::directory_iterator(place, ignored)) {
      EXPECT_EQ(item.path().filename().wstring().rfind(L"quillon_evil", 0), std::wstring::npos) << item.path();
    }
  }
  // Extraction ends at the refused entry, the second of three.
  EXPECT_EQ(collector_.progress.size(), 2u);
  EXPECT_EQ(failure_.cause, FailureCause::kDamagedInstaller);
}

INSTANTIATE_TEST_SUITE_P(Hostile, HostilePayloadTest,
                         ::testing::Values(L"hostile_absolute_path.tar.zst", L"hostile_drive_path.tar.zst",
                                           L"hostile_parent_path.tar.zst", L"hostile_nested_parent_path.tar.zst",
                                           L"hostile_backslash_parent_path.tar.zst",
                                           L"hostile_trimmed_parent_path.tar.zst", L"hostile_symlink.tar.zst",
                                           L"hostile_hardlink.tar.zst", L"hostile_fifo.tar.zst"));

// The first entry that cannot be written ends the extraction with its name and the library's reason; the
// tree is unusable from then on, so nothing after it is written.
TEST_F(ExtractPayloadTest, UnwritableEntryEndsExtractionAndNamesTheEntry) {
  // A file held open without sharing can be neither replaced nor written, as under a security product.
  WriteTestFile(target_ / L"bin" / L"random.bin", "held");
  UniqueFileHandle held(::CreateFileW((target_ / L"bin" / L"random.bin").c_str(), GENERIC_READ, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(held);
  EXPECT_FALSE(Extract(L"tree.tar.zst"));
  held.Reset();
  EXPECT_EQ(ReadFileBytes(target_ / L"bin" / L"random.bin"), "held");
  EXPECT_EQ(failure_.entry, L"bin/random.bin");
  EXPECT_NE(failure_.cause, FailureCause::kNone);
  EXPECT_FALSE(failure_.libraryError.empty());
  EXPECT_EQ(collector_.progress.back().name, L"bin/random.bin");
}

}  // namespace
