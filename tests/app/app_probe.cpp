// A child program for the application shell's tests: it sets up logging as the installer does and writes
// a few lines, or reports what the system queries answer in a program without a version resource.
#include <windows.h>

#include <spdlog/spdlog.h>

#include <cstdio>
#include <string>

#include "app/logger.h"
#include "app/system_info.h"
#include "app/text_encoding.h"

int wmain(int argc, wchar_t** argv) {
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"log") {
    static LogGuard logGuard = InitLogger(GetExeFileName());
    const std::string tag = argc > 2 ? WideToUtf8(argv[2]) : "run";
    spdlog::debug("debug line {}", tag);
    spdlog::info("isUpdate flag :{}", 0);
    spdlog::info("信息 {} 中文", tag);
    spdlog::warn("warning line {}", tag);
    spdlog::error("error line {}", tag);
    std::printf("done acp=%u\n", ::GetACP());
    return 0;
  }
  if (command == L"version") {
    std::printf("[%s]\n", WideToUtf8(GetProductVersion()).c_str());
    return 0;
  }
  return 2;
}
