// The install worker on the reference payload: the whole worker as the main window runs it (median of three
// first installations into an empty folder), then each step on its own, in the worker's order.
// Usage: worker_bench.exe FOLDER NATIVE_SECONDS. Prints `name=value` lines.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/win_path.h"
#include "bench/bench_figures.h"
#include "engine/disk_space.h"
#include "engine/folder_ownership.h"
#include "engine/install_engine.h"
#include "engine/install_folder.h"
#include "engine/install_record.h"
#include "engine/kill_running_app.h"
#include "engine/promote_directory.h"
#include "engine/users_files.h"

namespace {

double Now() { return bench::NowMilliseconds() / 1000.0; }

template <typename Step>
double Time(Step&& step) {
  const double start = Now();
  step();
  return Now() - start;
}

void Clean(const InstallPaths& paths) {
  std::error_code ignored;
  for (const std::wstring* dir : {&paths.installPath, &paths.tempDir, &paths.backupDir}) RemoveTree(*dir, ignored);
}

// Handles the worker's messages until its result; returns the number of progress messages.
int PumpUntilResult(bool& succeeded) {
  int entries = 0;
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_INSTALL_PROGRESS) {
      delete reinterpret_cast<std::wstring*>(message.lParam);
      ++entries;
    } else if (message.message == WM_INSTALL_SUCCEEDED || message.message == WM_INSTALL_FAILED) {
      succeeded = message.message == WM_INSTALL_SUCCEEDED;
      break;
    }
  }
  return entries;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: worker_bench.exe FOLDER NATIVE_SECONDS\n");
    return 2;
  }
  const double nativeSeconds = std::wcstod(argv[2], nullptr);
  HRSRC resource = ::FindResourceW(nullptr, MAKEINTRESOURCEW(kPayloadResourceId), RT_RCDATA);
  const void* data = resource ? ::LockResource(::LoadResource(nullptr, resource)) : nullptr;
  const uint32_t size = resource ? ::SizeofResource(nullptr, resource) : 0;
  if (!data || size == 0) return 1;

  HWND window = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  static InstallEngine engine{window, argv[1]};  // outlives the detached workers
  const InstallPaths paths = InstallPaths::FromTarget(engine.installDir);

  std::vector<double> runs;
  int entries = 0;
  for (int run = 0; run < 3; ++run) {
    Clean(paths);
    bool succeeded = false;
    const double start = Now();
    std::thread(&InstallEngine::Install, &engine, kPayloadResourceId, engine.installDir).detach();
    entries = PumpUntilResult(succeeded);
    const double elapsed = Now() - start;
    if (!succeeded) {
      std::fprintf(stderr, "error: the worker reported failure\n");
      return 1;
    }
    runs.push_back(elapsed);
  }
  std::sort(runs.begin(), runs.end());
  const double worker = runs[runs.size() / 2];

  Clean(paths);
  std::error_code slot;
  bool ok = true;
  // The worker's first step: the folder text, whose folders these are, the unpacked size and the room for it.
  const double check = Time([&] {
    const FolderCheck folder = CheckInstallFolder(engine.installDir);
    const FolderState state = ClassifyFolder(paths.installPath, RegisteredInstallLocation());
    ok &= folder.problem == FolderProblem::kNone && state == FolderState::kMissing;
    UsersEntries users;
    ok &= PayloadUnpackedSize(data, size).has_value() && FindUsersEntries(paths.installPath, users, slot);
    ok &= FreeSpaceFor(paths.installPath).has_value();
  });
  const double kill = Time([&] { KillRunningApp({paths.installPath}); });
  const double extract = Time([&] {
    CreateDirectories(paths.tempDir, slot);
    ok &= engine.ExtractPayload(data, size, paths.tempDir);
  });
  const double record = Time([&] { ok &= WriteInstallRecord(paths.tempDir, RecordTree(paths.tempDir)); });
  const double promote = Time([&] { ok &= PromoteDirectory(paths, slot, &MoveDirectory); });
  const double icacls = Time([&] { GrantEveryoneModify(paths.installPath); });
  const double registry = Time([] { engine.WriteUninstallEntry(); });
  const double links = Time([] { engine.CreateShortcuts(); });
  MSG message;
  while (::PeekMessageW(&message, nullptr, WM_INSTALL_PROGRESS, WM_INSTALL_PROGRESS, PM_REMOVE)) {
    delete reinterpret_cast<std::wstring*>(message.lParam);
  }
  if (!ok) {
    std::fprintf(stderr, "error: a step failed\n");
    return 1;
  }

  PROCESS_MEMORY_COUNTERS memory{};
  ::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof(memory));
  std::printf(
      "payload: %u bytes, %d entries; worker_s: median of 3 first installations, from the thread's start\n"
      "to its result message; steps run one by one afterwards (step_check_s is the checks before\n"
      "anything is touched, the entry total and unpacked size read from the payload's index;\n"
      "step_swap_s includes waiting for icacls):\n",
      size, entries);
  std::printf("native_s=%.3f\nworker_s=%.3f\n", nativeSeconds, worker);
  std::printf("worker_vs_native_ratio=%.2f\n", worker / nativeSeconds);
  std::printf("step_check_s=%.3f\nstep_kill_s=%.3f\n", check, kill);
  std::printf("step_extract_s=%.3f\nstep_record_s=%.3f\n", extract, record);
  std::printf("step_swap_s=%.3f\nstep_icacls_s=%.3f\n", promote, icacls);
  std::printf("step_registry_s=%.3f\nstep_links_s=%.3f\n", registry, links);
  std::printf("peak_working_set_mb=%.1f\n", memory.PeakWorkingSetSize / (1024.0 * 1024.0));
  return 0;
}
