// The directory swap on real folders. Faults that Wine's file system cannot produce (access denied on a
// held tree) come in through the move function that the swap is given. The worker's tests cover the
// upgrade, the repair of an interrupted swap and exceptions.
#include "engine/promote_directory.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
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
    fs::create_directories(dir / L"resources");
    std::ofstream(dir / L"marker.txt") << marker;
    std::ofstream(dir / L"resources" / (marker + ".dat")) << marker;
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

TEST_F(PromoteDirectoryTest, AccessDeniedIsRetriedThreeTimes300MsApart) {
  MakeTree(paths_.installPath, "old");
  MakeTree(paths_.tempDir, "new");
  script.failingSource = paths_.tempDir;
  script.failures = 2;  // the first move and the first retry fail
  ASSERT_TRUE(Promote());
  EXPECT_EQ(Marker(paths_.installPath), "new");
  ASSERT_EQ(script.calls.size(), 3u);
  // Tick counts are coarse; 250 ms apart can only come from the delay between attempts.
  EXPECT_GE(script.calls[1] - script.calls[0], 250u);
  EXPECT_GE(script.calls[2] - script.calls[1], 250u);
  EXPECT_EQ(log_.Find(err, "临时目录转正失败: ").size(), 1u);
  EXPECT_EQ(log_.Find(err, "临时目录转正【重试】失败: 1 (错误码: 5)").size(), 1u);
  EXPECT_EQ(log_.Find(err, "临时目录转正【重试】失败: ").size(), 1u);
  EXPECT_FALSE(fs::exists(paths_.backupDir));
}

TEST_F(PromoteDirectoryTest, PromotionFailingForGoodPutsThePreviousInstallationBack) {
  MakeTree(paths_.installPath, "old");
  MakeTree(paths_.tempDir, "new");
  script.failingSource = paths_.tempDir;
  script.failures = 4;
  EXPECT_FALSE(Promote());
  EXPECT_EQ(script.calls.size(), 4u);
  const std::vector<std::string> failed = log_.Find(err, "临时目录转正失败: ");
  ASSERT_EQ(failed.size(), 1u);
  EXPECT_NE(failed[0].find("(错误码: 5)"), std::string::npos);
  EXPECT_EQ(log_.Find(err, "临时目录转正【重试】失败: 1 (错误码: 5)").size(), 1u);
  EXPECT_EQ(log_.Find(err, "临时目录转正【重试】失败: 2 (错误码: 5)").size(), 1u);
  EXPECT_EQ(log_.Find(err, "临时目录转正【重试】失败: 3 (错误码: 5)").size(), 1u);

  EXPECT_EQ(Marker(paths_.installPath), "old");
  EXPECT_FALSE(fs::exists(paths_.tempDir));
  EXPECT_FALSE(fs::exists(paths_.backupDir));
  EXPECT_EQ(log_.Find(info, "已从备份目录恢复原安装").size(), 1u);
  EXPECT_TRUE(icacls_.Record().empty());
}

TEST_F(PromoteDirectoryTest, OtherErrorsAreNotRetried) {
  MakeTree(paths_.installPath, "old");
  MakeTree(paths_.tempDir, "new");
  script.failingSource = paths_.tempDir;
  script.failures = 1;
  script.error = ERROR_SHARING_VIOLATION;
  EXPECT_FALSE(Promote());
  EXPECT_EQ(script.calls.size(), 1u);
  EXPECT_EQ(log_.Find(err, "临时目录转正失败: ").size(), 1u);
  EXPECT_TRUE(log_.Find(err, "临时目录转正【重试】").empty());
  EXPECT_EQ(Marker(paths_.installPath), "old");
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
