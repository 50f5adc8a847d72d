// The install worker's record and the messages it posts to the main window.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "engine/install_failure.h"

// Posted once per archive entry: wParam = percentage, lParam = new std::wstring* with the entry's archive
// path, which the receiver deletes.
inline constexpr UINT WM_INSTALL_PROGRESS = 2024;
// The worker's last message when the installation succeeded (wParam and lParam 0).
inline constexpr UINT WM_INSTALL_SUCCEEDED = 2025;
// The worker's last message in every other case: wParam = FailureCause, lParam = new InstallFailure* with
// the details, which the receiver deletes.
inline constexpr UINT WM_INSTALL_FAILED = 2026;

// The resource that carries the application's files (type RT_RCDATA).
inline constexpr uint16_t kPayloadResourceId = 130;

// Why ExtractPayload stopped: the class, the archive path of the entry (empty when the archive itself was
// unreadable) and the library's error text and errno value.
struct ExtractFailure {
  FailureCause cause = FailureCause::kNone;
  std::wstring entry;
  std::string libraryError;
  int errnoValue = 0;
};

// Written once on the UI thread before the worker starts; the worker only reads it.
struct InstallEngine {
  HWND notifyWindow = nullptr;
  std::wstring installDir;

  // The worker body, run on a detached thread: stops the application, unpacks the payload resource into a
  // temporary sibling of targetDir, swaps it into place, grants permissions, registers the uninstaller and
  // writes the shortcuts. Its last act is posting exactly one of WM_INSTALL_SUCCEEDED / WM_INSTALL_FAILED.
  // Nothing escapes it: every fault ends in a log line and WM_INSTALL_FAILED.
  void Install(uint16_t resourceId, std::wstring targetDir) const noexcept;

  // Unpacks the payload (a Zstandard-compressed tar archive) into targetDir, posting one progress message
  // per entry. Returns false when the archive cannot be opened, the stream is damaged, an entry is refused
  // as unsafe or an entry cannot be written: it stops at the first such entry, the tree in targetDir is then
  // incomplete and must not be used, and failure (when given) says why.
  [[nodiscard]] bool ExtractPayload(const void* data, uint32_t size, const std::wstring& targetDir,
                                    ExtractFailure* failure = nullptr) const;

  // Writes the six values of the uninstall entry; failures are silent and change nothing else.
  void WriteUninstallEntry() const;

  // The desktop link, the two start-menu links, then RepointTaskbarPins. Failures are logged.
  void CreateShortcuts() const;

  // Turns the current user's taskbar pins of the application (any earlier install folder) into pins of the
  // launcher in installDir.
  void RepointTaskbarPins() const;
};
