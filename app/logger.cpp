#include "app/logger.h"

#include <windows.h>

#include <spdlog/async.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>

#include <chrono>
#include <cstdio>
#include <system_error>

#include "app/system_info.h"
#include "app/text_encoding.h"
#include "app/win_path.h"

namespace {

constexpr size_t kQueueSize = 8192;
constexpr char kPattern[] = "[%Y-%m-%d %H:%M:%S.%e] [%l] %v";
constexpr wchar_t kLogFolder[] = L"quillon\\install logs\\";

}  // namespace

std::string LogFileDate() {
  SYSTEMTIME now = {};
  ::GetLocalTime(&now);
  char text[16] = {};
  std::snprintf(text, sizeof(text), "%04d_%02d_%02d", now.wYear, now.wMonth, now.wDay);
  return text;
}

std::wstring LogFilePath(const std::wstring& exeFileName) {
  const std::string date = LogFileDate();
  return GetTempDirectory() + kLogFolder + exeFileName + std::wstring(date.begin(), date.end()) + L".log";
}

LogGuard InitLogger(const std::wstring& exeFileName) {
  const std::string name = WideToAnsi(exeFileName);
  try {
    const std::string filePath = WideToAnsi(LogFilePath(exeFileName));

    std::error_code ignored;
    CreateDirectories(GetTempDirectory() + kLogFolder, ignored);

    spdlog::init_thread_pool(kQueueSize, 1);
    spdlog::flush_every(std::chrono::seconds(1));
    auto sink = std::make_shared<spdlog::sinks::basic_file_sink_mt>(filePath, /*truncate=*/false);
    auto logger = std::make_shared<spdlog::async_logger>(name, std::move(sink), spdlog::thread_pool(),
                                                         spdlog::async_overflow_policy::block);
    logger->set_pattern(kPattern, spdlog::pattern_time_type::local);
    logger->set_level(spdlog::level::info);
    spdlog::set_default_logger(std::move(logger));
    ::SetLastError(0);
  } catch (...) {
    // Without a log file the installer still works; there is nowhere to report this.
  }
  return LogGuard();
}

LogGuard::~LogGuard() { spdlog::shutdown(); }
