// The directory swap on real folders. Faults that Wine's file system cannot produce (access denied on a
// held tree) come in through the move function that the swap is given. The worker's tests cover the
// upgrade, the repair of an interrupted swap and exceptions.
#include "engine/promote_directory.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "tests/support/captured_log.h"
#include "tests/support/recording_icacls.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using spdlog::level::err;
using spdlog::level::info;

// What the scripted move does with moves of one source folder; other moves are real.
struct MoveScript {
  fs::path failingSource;
  int failures = 0;  // this many calls fail, later ones are real
  DWORD error = ERROR_ACCESS_DENIED;
  std::vector<ULONGLONG> calls;  // GetTickCount64 of each call for failingSource
} script;

bool ScriptedMove(const std::wstring& from, const std::wstring& to, std::error_code& error) {
  if (from != script.failingSource) return MoveDirectory(from, to, error);
  script.calls.push_back(::GetTickCount64());
  if (script.failures > 0) {
    --script.failures;
    error.assign(static_cast<int>(script.error), std::system_category());
    return false;
  }
  return MoveDirectory(from, to, error);
}

class PromoteDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override { script = MoveScript{}; }

  static void MakeTree(const fs::path& dir, const std::string& marker) {
    WriteTestFile(dir / L"marker.txt", marker);
    WriteTestFile(dir / L"resources" / (marker + ".dat"), marker);
  }
  static std::string Marker(const fs::path& dir) { return ReadFileBytes(dir / L"marker.txt"); }

  bool Promote() { return PromoteDirectory(paths_, slot_, &ScriptedMove); }

  TempFolder base_{L"promote"};
  // Spaces in the folder name: icacls gets it inside quotes.
  InstallPaths paths_ = InstallPaths::FromTarget((base_.Path() / L"Vexor Apps" / L"Quillon").wstring());
  std::error_code slot_;
  RecordingIcacls icacls_;
  CapturedLog log_;
};

TEST_F(PromoteDirectoryTest, FirstInstallMovesTheTreeIntoPlaceAndGrantsAccess) {
  MakeTree(paths_.tempDir, "new");
  ASSERT_TRUE(Promote());
  EXPECT_EQ(Marker(paths_.installPath), "new");
  EXPECT_FALSE(fs::exists(paths_.tempDir));
  EXPECT_FALSE(fs::exists(paths_.backupDir));
  EXPECT_TRUE(log_.Lines().empty());
  // The exact command line, and "finished": the swap waited for icacls to end.
  EXPECT_EQ(icacls_.Record(), icacls_.RecordFor(paths_.installPath));
}

TEST_F(PromoteDirectoryTest, StaleBackupIsRemovedBeforeTheNewBackupIsMade) {
  MakeTree(paths_.installPath, "old");
  MakeTree(paths_.backupDir, "stale");
  MakeTree(paths_.tempDir, "new");
  ASSERT_TRUE(Promote());
  EXPECT_EQ(Marker(paths_.installPath), "new");
  EXPECT_FALSE(fs::exists(paths_.backupDir));
  EXPECT_EQ(log_.Find(info, "备份目录清理成功").size(), 2u);  // the stale one, then the new one
}

// Access denied (a tree still held for a moment) is retried three times, 300 ms apart; other errors are
// not. A promotion that fails for good puts the previous installation back and grants nothing.
TEST_F(PromoteDirectoryTest, AccessDeniedIsRetriedThreeTimes300MsApartThenThePreviousTreeIsPutBack) {
  const struct {
    int failures;
    DWORD error;
    size_t moves;
    size_t failedRetries;
    bool promoted;
  } cases[] = {{2, ERROR_ACCESS_DENIED, 3, 1, true},
               {4, ERROR_ACCESS_DENIED, 4, 3, false},
               {1, ERROR_SHARING_VIOLATION, 1, 0, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.failures << " failures of error " << c.error);
    fs::remove_all(fs::path(paths_.installPath).parent_path());
    MakeTree(paths_.installPath, "old");
    MakeTree(paths_.tempDir, "new");
    script = MoveScript{paths_.tempDir, c.failures, c.error, {}};
    log_.Clear();
    const size_t granted = icacls_.Record().size();
    EXPECT_EQ(Promote(), c.promoted);
    ASSERT_EQ(script.calls.size(), c.moves);
    // Tick counts are coarse; 250 ms apart can only come from the delay between attempts.
    for (size_t i = 1; i < c.moves; ++i) EXPECT_GE(script.calls[i] - script.calls[i - 1], 250u);
    const std::vector<std::string> failed = log_.Find(err, "临时目录转正失败: ");
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_NE(failed[0].find("(错误码: " + std::to_string(c.error) + ")"), std::string::npos) << failed[0];
    EXPECT_EQ(log_.Find(err, "临时目录转正【重试】").size(), c.failedRetries);
    for (size_t retry = 1; retry <= c.failedRetries; ++retry) {
      EXPECT_EQ(log_.Find(err, "临时目录转正【重试】失败: " + std::to_string(retry) + " (错误码: 5)").size(), 1u);
    }
    EXPECT_EQ(Marker(paths_.installPath), c.promoted ? "new" : "old");
    EXPECT_FALSE(fs::exists(paths_.tempDir));
    EXPECT_FALSE(fs::exists(paths_.backupDir));
    EXPECT_EQ(log_.Find(info, "已从备份目录恢复原安装").size(), c.promoted ? 0u : 1u);
    EXPECT_EQ(icacls_.Record().size() > granted, c.promoted);
  }
}

TEST_F(PromoteDirectoryTest, OldTreeThatCannotBeMovedAsideStaysInPlace) {
  MakeTree(paths_.installPath, "old");
  MakeTree(paths_.tempDir, "new");
  script.failingSource = paths_.installPath;
  script.failures = 1;
  EXPECT_FALSE(Promote());  // the new tree cannot replace a folder that is still there
  EXPECT_EQ(log_.Find(err, "备份目录失败: ").size(), 1u);
  EXPECT_EQ(Marker(paths_.installPath), "old");
  EXPECT_FALSE(fs::exists(paths_.tempDir));
}

// The installer runs elevated from a folder anyone can write to (Downloads): an icacls.exe left where a
// search of the program path looks before the system folders is never run; the system's icacls is.
TEST(GrantEveryoneModifyTest, StartsTheSystemIcaclsNotOneOnTheSearchPath) {
  TempFolder dir{L"grant"};
  const RecordingIcacls planted(RecordingIcacls::Placement::kPlantedInCurrentDirectory);
  CapturedLog log;
  GrantEveryoneModify(dir.Path().wstring());
  EXPECT_EQ(planted.Record(), "");
  EXPECT_EQ(log.Texts(), std::vector<std::string>{}) << "the system's icacls should have started";
}

}  // namespace
