#include "ui/failure_text.h"

#include <cstdint>
#include <cwchar>
#include <string>

namespace {

// Megabytes with one decimal; a need is never shown smaller than it is.
std::wstring Megabytes(uint64_t bytes, bool roundUp) {
  constexpr uint64_t kMb = 1024 * 1024;
  const uint64_t tenths = (bytes * 10 + (roundUp ? kMb - 1 : 0)) / kMb;
  return std::to_wstring(tenths / 10) + L"." + std::to_wstring(tenths % 10) + L" MB";
}

}  // namespace

std::wstring DescribeFailureForUser(const InstallFailure& failure) {
  switch (failure.cause) {
    case FailureCause::kNotEnoughSpace:
      if (failure.requiredBytes == 0) return L"磁盘空间不足，请清理磁盘或选择其他安装位置后重试。";
      return L"磁盘空间不足：需要 " + Megabytes(failure.requiredBytes, true) + L"，可用 " +
             Megabytes(failure.availableBytes, false) + L"。请清理磁盘或选择其他安装位置。";
    case FailureCause::kFilesInUse: return L"安装位置的文件正被其他程序使用，请关闭 Quillon 及相关程序后重试。";
    case FailureCause::kDamagedInstaller: return L"安装程序已损坏，请重新下载安装程序。";
    case FailureCause::kFolderNotUsable:
      return L"安装位置不可用：该文件夹或其旁边的文件夹中有不属于 Quillon 的文件，请选择其他安装位置。";
    case FailureCause::kNoPermission: return L"没有写入安装位置的权限，请确认有管理员权限后重试。";
    case FailureCause::kNone:
    case FailureCause::kOther: break;
  }
  if (failure.systemError == 0) return L"安装时发生错误，请重试。";
  wchar_t text[96] = {};
  std::swprintf(text, 96, L"安装时发生错误（错误代码 %u），请重试。", static_cast<unsigned>(failure.systemError));
  return text;
}
