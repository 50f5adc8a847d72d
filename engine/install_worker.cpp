// One installation, start to end, on the worker thread: kill, unpack, promote, grant, register, link, and
// exactly one result message.
#include "engine/install_worker.h"

#include <windows.h>

#include <spdlog/spdlog.h>

#include <exception>
#include <filesystem>
#include <system_error>

#include "engine/error_text.h"
#include "engine/kill_running_app.h"

namespace fs = std::filesystem;

namespace {

struct Payload {
  const void* data = nullptr;
  uint32_t size = 0;
};

// The payload stays mapped with the module for the life of the process; nothing is freed.
Payload FindPayload(uint16_t resourceId) noexcept {
  HRSRC resource = ::FindResourceW(nullptr, MAKEINTRESOURCEW(resourceId), RT_RCDATA);
  if (!resource) return {};
  HGLOBAL loaded = ::LoadResource(nullptr, resource);
  if (!loaded) return {};
  return {::LockResource(loaded), ::SizeofResource(nullptr, resource)};
}

// The worker's exception guard. The exception's own text says less than the file system error that led to
// it, so the line carries the error slot.
void LogFault(const std::error_code& errorSlot) noexcept {
  try {
    spdlog::error("错误: {} (错误码: {})", ErrorText(errorSlot), errorSlot.value());
  } catch (...) {
    // The log itself failed; the result message still reports the failure.
  }
}

template <typename Step>
[[nodiscard]] bool RunGuarded(const std::error_code& errorSlot, Step&& step) noexcept {
  try {
    step();
    return true;
  } catch (const std::exception&) {
    LogFault(errorSlot);
  } catch (...) {
    LogFault(errorSlot);
  }
  return false;
}

}  // namespace

void RunInstallWorker(const InstallEngine& engine, uint16_t resourceId, const std::wstring& targetDir,
                      MoveDirectoryFunction move) noexcept {
  std::error_code errorSlot;
  bool faulted = false;  // an exception in any step: the result is failure, and no file work follows it
  auto run = [&](auto&& step) {
    if (!RunGuarded(errorSlot, step)) faulted = true;
  };

  // 1. Stop running copies of the application.
  run([] { KillRunningApp(); });

  // 2. The install folder and its siblings. An earlier run that stopped between moving the old tree aside
  //    and promoting the new one left the previous installation only in the backup: it goes back first.
  InstallPaths paths;
  bool havePaths = false;
  run([&] {
    paths = InstallPaths::FromTarget(targetDir);
    havePaths = true;
    RestoreInterruptedSwap(paths, errorSlot, move);
  });

  // 3-4. The payload; without it nothing else is done.
  const Payload payload = FindPayload(resourceId);
  if (!payload.data || payload.size == 0) {
    ::PostMessageW(engine.notifyWindow, WM_INSTALL_FAILED, 0, 0);
    return;
  }

  // 5-7. Unpack into a fresh temporary folder; a failed extraction leaves the installation untouched.
  bool extracted = false;
  if (havePaths && !faulted) {
    run([&] {
      if (fs::exists(paths.tempDir, errorSlot)) fs::remove_all(paths.tempDir, errorSlot);
      fs::create_directories(paths.tempDir, errorSlot);
      extracted = engine.ExtractPayload(payload.data, payload.size, paths.tempDir);
    });
    if (!extracted) {
      run([&] {
        std::error_code ignored;
        fs::remove_all(paths.tempDir, ignored);
      });
    }
  }

  // 8. Swap the new tree into place and grant permissions.
  bool promoted = false;
  if (extracted && !faulted) run([&] { promoted = PromoteDirectory(paths, errorSlot, move); });

  // 9-10. Registration and links are (re)written whatever the outcome above.
  run([&] { engine.WriteUninstallEntry(); });
  run([&] { engine.CreateShortcuts(); });

  // 11. Exactly one result message.
  const bool succeeded = extracted && promoted && !faulted;
  ::PostMessageW(engine.notifyWindow, succeeded ? WM_INSTALL_SUCCEEDED : WM_INSTALL_FAILED, 0, 0);
}

void InstallEngine::Install(uint16_t resourceId, std::wstring targetDir) const noexcept {
  RunInstallWorker(*this, resourceId, targetDir, &MoveDirectory);
}
