#include "ui/install_result.h"

#include <spdlog/spdlog.h>

#include <memory>

#include "app/text_encoding.h"

InstallFailure TakeInstallFailure(WPARAM wParam, LPARAM lParam) {
  std::unique_ptr<InstallFailure> details(reinterpret_cast<InstallFailure*>(lParam));
  InstallFailure failure;
  if (details) {
    failure = *details;
  } else if (wParam <= static_cast<WPARAM>(FailureCause::kOther)) {
    failure.cause = static_cast<FailureCause>(wParam);
  }
  if (failure.cause == FailureCause::kNone) failure.cause = FailureCause::kOther;
  return failure;
}

int LogInstallResult(const InstallFailure* failure) {
  const int exitCode = failure == nullptr ? 0 : ExitCodeFor(failure->cause);
  spdlog::info("安装结果 :{}", failure == nullptr ? 0 : -1);
  if (failure != nullptr) {
    spdlog::error("安装失败：原因 {}，系统错误 {}，路径 \"{}\"，需要 {} 字节，可用 {} 字节（退出码 {}）",
                  static_cast<int>(failure->cause), failure->systemError, WideToUtf8(failure->path),
                  failure->requiredBytes, failure->availableBytes, exitCode);
  }
  return exitCode;
}
