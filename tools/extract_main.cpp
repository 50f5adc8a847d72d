// Unpacks the payload embedded in this executable into a folder, the way the install worker does: the
// extraction runs on a worker thread and posts its progress to a window on this thread, which prints it.
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "app/text_encoding.h"
#include "engine/install_engine.h"

namespace {

constexpr UINT kPayloadId = 130;

struct Payload {
  const void* data = nullptr;
  uint32_t size = 0;
};

Payload FindPayload() {
  HRSRC resource = ::FindResourceW(nullptr, MAKEINTRESOURCEW(kPayloadId), RT_RCDATA);
  if (!resource) return {};
  HGLOBAL loaded = ::LoadResource(nullptr, resource);
  return {loaded ? ::LockResource(loaded) : nullptr, ::SizeofResource(nullptr, resource)};
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: quillon_extract.exe FOLDER\n");
    return 2;
  }
  const Payload payload = FindPayload();
  if (!payload.data || payload.size == 0) {
    std::fprintf(stderr, "error: this executable carries no payload\n");
    return 1;
  }
  HWND window = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  InstallEngine engine{window, argv[1]};
  const std::filesystem::path target = std::filesystem::absolute(argv[1]);
  std::printf("unpacking %u bytes into %s\n", payload.size, WideToUtf8(target.wstring()).c_str());

  std::thread worker([&engine, payload, target] {
    const bool ok = engine.ExtractPayload(payload.data, payload.size, target);
    ::PostMessageW(engine.notifyWindow, ok ? WM_INSTALL_SUCCEEDED : WM_INSTALL_FAILED, 0, 0);
  });
  int entries = 0;
  int exitCode = 1;
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_INSTALL_PROGRESS) {
      auto* name = reinterpret_cast<std::wstring*>(message.lParam);
      std::printf("[%3d%%] %s\n", static_cast<int>(message.wParam), WideToUtf8(*name).c_str());
      delete name;
      ++entries;
    } else if (message.message == WM_INSTALL_SUCCEEDED || message.message == WM_INSTALL_FAILED) {
      exitCode = message.message == WM_INSTALL_SUCCEEDED ? 0 : 1;
      break;
    }
  }
  worker.join();
  std::printf("%s: %d entries\n", exitCode == 0 ? "unpacked" : "failed", entries);
  return exitCode;
}
