#include "app/upgrade_handover.h"

#include <spdlog/spdlog.h>

#include "app/process_launch.h"
#include "app/system_info.h"

std::wstring UpgradeMarkerPath() { return GetTempDirectory() + L"quillon\\upgrade\\quillon_upload.log"; }

bool UpgradeMarkerPresent() {
  const DWORD attributes = ::GetFileAttributesW(UpgradeMarkerPath().c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

DWORD RelaunchInUpgradeMode(const std::wstring& commandLineText) {
  wchar_t ownPath[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, ownPath, MAX_PATH);
  const DWORD processId = Process::LaunchDetachedProcess(ownPath, commandLineText + L" -update");
  spdlog::info("更新逻辑触发二次启动，进程号：{}", processId);
  return processId;
}
