// The whole worker: this program carries the demo payload as resource 130 (and damaged payloads as 131-134),
// runs the worker on a detached thread as the main window does, and checks what the window is told, what
// stays of an earlier installation and of the user's folders, and what a failure leaves behind.
#include "engine/install_worker.h"

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <map>
#include <set>
#include <stdexcept>
#include <thread>

#include "app/unique_resource.h"
#include "engine/folder_ownership.h"
#include "engine/install_engine.h"
#include "engine/install_record.h"
#include "engine/shortcuts.h"
#include "engine/uninstall_entry.h"
#include "tests/engine/allocation_tracker.h"
#include "tests/engine/progress_collector.h"
#include "tests/support/captured_log.h"
#include "tests/support/recording_icacls.h"
#include "tests/support/running_copy.h"
#include "tests/support/shell_link.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using spdlog::level::err;
using spdlog::level::info;

// Damaged where only extraction can tell: its last frame fails the checksum.
constexpr uint16_t kDamagedPayload = 131;
constexpr uint16_t kHostilePayload = 132;
constexpr uint16_t kEmptyArchive = 133;
// An index declaring far more bytes than any disk holds: damaged, not a lack of room.
constexpr uint16_t kHugeIndexPayload = 134;
constexpr uint16_t kNoSuchResource = 199;

// The installation's record in TreeSnapshot's form: "/" separators, folders ending in "/".
std::set<std::wstring> RecordedPaths(const fs::path& installation) {
  std::set<std::wstring> paths;
  const std::optional<InstallRecord> record = ReadInstallRecord(installation.wstring());
  if (!record) return paths;
  for (const std::wstring& folder : record->folders) paths.insert(fs::path(folder).generic_wstring() + L"/");
  for (const std::wstring& file : record->files) paths.insert(fs::path(file).generic_wstring());
  return paths;
}

bool UninstallEntryExists() {
  UniqueHkey key;
  return ::RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                         L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                         L"{7A31C0DE-2F4B-4E19-9C5D-3B8E6A0F1D27}}_is1",
                         0, KEY_READ, key.Put()) == ERROR_SUCCESS;
}

// A failing move for the new tree, standing in for a tree that stays held (access denied) or a throwing step.
enum class MoveFault { kNone, kAccessDenied, kThrow };
MoveFault moveFault = MoveFault::kNone;
bool FaultyMove(const std::wstring& from, const std::wstring& to, std::error_code& error) {
  if (moveFault == MoveFault::kThrow) throw std::runtime_error("move refused");
  if (moveFault == MoveFault::kAccessDenied && from.find(L"_tmp_installing") != std::wstring::npos) {
    error.assign(ERROR_ACCESS_DENIED, std::system_category());
    return false;
  }
  return MoveDirectory(from, to, error);
}

class InstallWorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Clean();
    moveFault = MoveFault::kNone;
  }
  void TearDown() override { Clean(); }

  void Clean() {
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kUninstallSubkey);
    std::error_code ignored;
    fs::remove(desktopLink_, ignored);
    fs::remove_all(ShellFolder(CSIDL_COMMON_PROGRAMS) / L"Quillon", ignored);
  }

  // As the main window starts it: a detached thread over Install, resource id and a copy of the folder text.
  void Install(uint16_t resourceId = kPayloadResourceId) {
    std::thread(&InstallEngine::Install, &engine_, resourceId, engine_.installDir).detach();
    Finish();
  }
  void InstallWithMove(uint16_t resourceId, MoveDirectoryFunction move) {
    std::thread([this, resourceId, move] { RunInstallWorker(engine_, resourceId, engine_.installDir, move); }).detach();
    Finish();
  }
  void Finish() {
    ASSERT_TRUE(collector_.WaitForResult(120000));
    ::Sleep(100);  // anything posted after the result would arrive now
    collector_.Drain();
    EXPECT_EQ(collector_.succeeded + collector_.failed, 1);
    EXPECT_EQ(collector_.lateMessages, 0);
    if (collector_.failed != 0) {
      for (const LogLine& line : log_.Lines()) std::cerr << "  log: " << line.text << "\n";
    }
  }

  // An earlier installation of ours (it carries the installation marker) with a file to recognise it by.
  static void MakeTree(const fs::path& dir, const std::string& marker) {
    WriteTestFile(dir / L"marker.txt", marker);
    WriteTestFile(dir / kInstallMarkerName, "[Quillon]\r\n");
  }
  // A folder of the user's: documents, nothing of ours.
  static void MakeUsersFolder(const fs::path& dir) {
    WriteTestFile(dir / L"thesis.txt", "thesis");
    WriteTestFile(dir / L"sub" / L"notes.txt", "notes");
  }
  bool NoSiblingsLeft() const {
    return !fs::exists(installDir_.wstring() + L"_tmp_installing") &&
           !fs::exists(installDir_.wstring() + L"_old_backup");
  }

  TempFolder base_{L"worker"};
  const fs::path installDir_ = base_.Path() / L"Program Files" / L"Quillon";
  const fs::path backupDir_ = installDir_.wstring() + L"_old_backup";
  const fs::path desktopLink_ = ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY) / L"Quillon.lnk";
  ProgressCollector collector_;
  InstallEngine engine_{collector_.Window(), installDir_.wstring()};
  RecordingIcacls icacls_;
  CapturedLog log_;
};

// The tree, its record, the entry and the links are checked end to end; here what the window is told.
TEST_F(InstallWorkerTest, FirstInstallReportsEveryEntryWithRisingProgress) {
  Install();
  EXPECT_EQ(collector_.succeeded, 1);

  const std::map<std::wstring, std::string> installed = TreeSnapshot(QUILLON_DEMO_TREE);
  ASSERT_EQ(collector_.progress.size(), installed.size());
  for (size_t i = 0; i < collector_.progress.size(); ++i) {
    EXPECT_EQ(installed.count(collector_.progress[i].name), 1u) << "unexpected entry " << i;
    if (i > 0) {
      EXPECT_GE(collector_.progress[i].percent, collector_.progress[i - 1].percent);
    }
  }
  EXPECT_EQ(collector_.progress.back().percent, 100);
  EXPECT_TRUE(NoSiblingsLeft());
  EXPECT_EQ(icacls_.Record(), icacls_.RecordFor(installDir_));
  EXPECT_EQ(log_.CountAtLevel(err) + log_.CountAtLevel(spdlog::level::warn), 0u);
}

// An upgrade stops the running application, repoints its taskbar pin and keeps what the user added (files
// and empty folders the previous installation's record does not list) unless the new tree has one of that
// name; installed files the new version no longer has go. An installation from before the record cannot
// tell the user's files from its own and keeps nothing.
TEST_F(InstallWorkerTest, UpgradeStopsTheAppRepointsItsPinAndKeepsWhatThePreviousRecordDoesNotList) {
  const fs::path plugins = installDir_ / L"plugins";
  const fs::path oldApp = installDir_ / L"quillon.exe";
  const fs::path pin = fs::path(TaskbarPinFolder()) / L"quillon worker test.lnk";
  fs::create_directories(pin.parent_path());
  for (const bool recorded : {true, false}) {
    SCOPED_TRACE(recorded);
    fs::remove_all(installDir_);
    MakeTree(installDir_, "old");  // marker.txt: installed by the old version, not in the new payload
    const RunningCopy running(oldApp);
    ASSERT_TRUE(running.Listed());
    ASSERT_TRUE(CreateShortcut(oldApp.wstring(), pin.wstring(), L"Quillon", oldApp.wstring()));
    if (recorded) {
      ASSERT_TRUE(WriteInstallRecord(installDir_.wstring(), RecordTree(installDir_.wstring())));
    }
    fs::create_directories(plugins / L"empty");
    WriteTestFile(plugins / L"my_plugin.dll", "mine");
    WriteTestFile(plugins / L"readme.txt", "mine too");  // the new tree has one
    collector_.succeeded = 0;
    log_.Clear();
    Install();
    EXPECT_EQ(collector_.succeeded, 1);
    EXPECT_TRUE(running.Terminated());
    EXPECT_EQ(log_.Find(info, "第一次Kill 共关闭了 1 个相关进程").size(), 1u);
    EXPECT_EQ(ReadShellLink(pin).target, installDir_.wstring() + L"\\quillon_launcher.exe");
    EXPECT_FALSE(fs::exists(installDir_ / L"marker.txt"));
    EXPECT_EQ(ReadFileBytes(plugins / L"my_plugin.dll"), recorded ? "mine" : "");
    EXPECT_EQ(fs::is_directory(plugins / L"empty"), recorded);
    EXPECT_EQ(ReadFileBytes(plugins / L"readme.txt"),
              ReadFileBytes(fs::path(QUILLON_DEMO_TREE) / L"plugins" / L"readme.txt"));
    EXPECT_EQ(RecordedPaths(installDir_).count(L"plugins/my_plugin.dll"), 0u) << "still the user's, not installed";
    EXPECT_EQ(log_.Find(info, "新版本有同名文件，未保留原安装中的: plugins\\readme.txt").size(), recorded ? 1u : 0u);
    EXPECT_EQ(log_.Find(info, "原安装没有安装记录").size(), recorded ? 0u : 1u);
    EXPECT_EQ(log_.Find(info, "备份目录清理成功").size(), 1u);
    EXPECT_TRUE(NoSiblingsLeft());
  }
  fs::remove(pin);
}

// A failed first installation leaves no trace: no folder it created, no uninstall entry, no links. Without a
// payload it fails before anything was stopped or touched: the failure is the one line logged.
TEST_F(InstallWorkerTest, FailedFirstInstallationLeavesNothingBehind) {
  for (const uint16_t payload : {kDamagedPayload, kHostilePayload, kHugeIndexPayload, kNoSuchResource}) {
    Clean();
    log_.Clear();
    collector_.failed = 0;
    collector_.progress.clear();
    Install(payload);
    EXPECT_EQ(collector_.failed, 1) << payload;
    EXPECT_EQ(collector_.failure.cause, FailureCause::kDamagedInstaller) << payload;
    EXPECT_FALSE(fs::exists(installDir_.parent_path())) << payload;
    EXPECT_FALSE(UninstallEntryExists()) << payload;
    EXPECT_FALSE(fs::exists(desktopLink_)) << payload;
    EXPECT_FALSE(fs::exists(ShellFolder(CSIDL_COMMON_PROGRAMS) / L"Quillon")) << payload;
  }
  EXPECT_TRUE(collector_.progress.empty());
  EXPECT_EQ(log_.Lines().size(), 1u);
}

// Folders of the user's are never moved, replaced or deleted: not as the install folder, not where the
// swap's siblings go. The worker refuses before it stops a process or unpacks anything.
TEST_F(InstallWorkerTest, FoldersThatAreNotOursAreLeftAlone) {
  const fs::path tempDir = installDir_.wstring() + L"_tmp_installing";
  for (const fs::path& usersFolder : {installDir_, backupDir_, tempDir}) {
    fs::remove_all(installDir_.parent_path());
    MakeUsersFolder(usersFolder);
    const auto before = TreeSnapshot(installDir_.parent_path());
    collector_.failed = 0;
    collector_.progress.clear();
    Install();
    EXPECT_EQ(collector_.failed, 1) << usersFolder;
    EXPECT_EQ(collector_.failure.cause, FailureCause::kFolderNotUsable) << usersFolder;
    EXPECT_EQ(collector_.failure.path, usersFolder.wstring());
    EXPECT_TRUE(collector_.progress.empty());
    EXPECT_EQ(TreeSnapshot(installDir_.parent_path()), before) << usersFolder;
    EXPECT_FALSE(UninstallEntryExists());
  }
  EXPECT_TRUE(log_.Find(info, "第一次Kill").empty());

  // An installation from before the marker existed: the registered folder with the launcher in it.
  fs::remove_all(installDir_.parent_path());
  MakeUsersFolder(installDir_);
  WriteTestFile(installDir_ / kLauncherName, "old launcher");
  ASSERT_TRUE(SetUninstallValue(L"InstallLocation", (installDir_.wstring() + L"\\").c_str()));
  collector_.failed = 0;
  Install();
  EXPECT_EQ(collector_.succeeded, 1);
  EXPECT_FALSE(fs::exists(installDir_ / L"thesis.txt"));
  EXPECT_TRUE(fs::exists(installDir_ / kInstallMarkerName));
}

// Texts that name a folder other than they show are refused by the worker as by the window.
TEST_F(InstallWorkerTest, FolderTextsThatAreNotNormalAreRefused) {
  const std::wstring base = installDir_.wstring();
  for (const std::wstring& text :
       {base + L"\\..\\Quillon", base + L"/", base + L"\\.", base + L".", std::wstring(L"Quillon")}) {
    collector_.failed = 0;
    engine_.installDir = text;
    Install();
    EXPECT_EQ(collector_.failure.cause, FailureCause::kFolderNotUsable) << text;
  }
  EXPECT_FALSE(fs::exists(installDir_.parent_path()));
}

TEST_F(InstallWorkerTest, ArchiveWithoutEntriesInstallsOnlyTheMarkerAndTheRecord) {
  Install(kEmptyArchive);
  EXPECT_EQ(collector_.succeeded, 1);
  EXPECT_TRUE(collector_.progress.empty());
  const auto installed = TreeSnapshot(installDir_);
  ASSERT_EQ(installed.size(), 2u);
  EXPECT_EQ(installed.count(kInstallMarkerName) + installed.count(kInstallRecordName), 2u);
  EXPECT_EQ(RecordedPaths(installDir_), std::set<std::wstring>{kInstallMarkerName});
}

// A payload that turns out damaged or hostile, a swap that fails for good (the new tree stays held) or
// throws: the previous installation stays as it was, also when an earlier run stopped after moving it aside
// (the swap is repaired first; when that repair throws, nothing is unpacked), and the failure is reported once.
TEST_F(InstallWorkerTest, FailuresLeaveThePreviousInstallationAsItWas) {
  const struct {
    uint16_t payload;
    MoveFault fault;
    fs::path previous, after;
    FailureCause cause;
    const char* logged;
    size_t times;
  } cases[] = {{kDamagedPayload, MoveFault::kNone, backupDir_, installDir_, FailureCause::kDamagedInstaller,
                "安装失败，解压：", 1},
               {kHostilePayload, MoveFault::kNone, installDir_, installDir_, FailureCause::kDamagedInstaller,
                "安装失败，解压：", 1},
               {kPayloadResourceId, MoveFault::kAccessDenied, installDir_, installDir_, FailureCause::kFilesInUse,
                "临时目录转正【重试】失败: ", 3},
               {kPayloadResourceId, MoveFault::kThrow, installDir_, installDir_, FailureCause::kOther, "错误: ", 1},
               {kPayloadResourceId, MoveFault::kThrow, backupDir_, backupDir_, FailureCause::kOther, "错误: ", 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.payload << " " << c.logged << c.previous);
    fs::remove_all(installDir_.parent_path());
    MakeTree(c.previous, "previous");
    const auto before = TreeSnapshot(c.previous);
    log_.Clear();
    collector_.failed = 0;
    collector_.progress.clear();
    moveFault = c.fault;
    InstallWithMove(c.payload, &FaultyMove);
    EXPECT_EQ(collector_.failed, 1);
    EXPECT_EQ(collector_.failure.cause, c.cause);
    EXPECT_EQ(log_.Find(err, c.logged).size(), c.times);
    EXPECT_EQ(TreeSnapshot(c.after), before);
    EXPECT_FALSE(fs::exists(installDir_.wstring() + L"_tmp_installing"));
    EXPECT_EQ(fs::exists(backupDir_), c.after == backupDir_);
    if (c.after == backupDir_) {
      EXPECT_TRUE(collector_.progress.empty());
    }
  }
  EXPECT_TRUE(icacls_.Record().empty());
}

TEST_F(InstallWorkerTest, EveryProgressTextIsFreedByTheReceiver) {
  UniqueHandle returned(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
  auto run = [this, &returned] {
    std::thread([this, event = returned.Get()] {
      TrackAllocationsOnThisThread(true);
      engine_.Install(kPayloadResourceId, engine_.installDir);
      TrackAllocationsOnThisThread(false);
      ::SetEvent(event);
    }).detach();
    Finish();
    // The worker frees its own blocks after posting the result; count once it has returned.
    ASSERT_EQ(::WaitForSingleObject(returned.Get(), 60000), static_cast<DWORD>(WAIT_OBJECT_0));
  };
  run();  // a first run makes the one-time allocations of the libraries
  collector_.progress.clear();
  collector_.succeeded = collector_.failed = 0;
  log_.Clear();

  BeginAllocationCount();
  run();
  log_.Clear();  // the captured lines were allocated on the worker thread
  EXPECT_FALSE(collector_.progress.empty());
  EXPECT_EQ(LiveTrackedAllocations(), 0);
}

}  // namespace
