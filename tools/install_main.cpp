// Installs the payload embedded in this executable through the real install worker, the way the main
// window starts it (a detached thread posting to a window on this thread), then prints what the
// installation left behind: the tree, the uninstall entry and the links.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <spdlog/sinks/stdout_sinks.h>
#include <spdlog/spdlog.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "app/text_encoding.h"
#include "app/unique_resource.h"
#include "app/win_path.h"
#include "engine/install_engine.h"
#include "engine/shortcuts.h"

namespace {

std::string Utf8(const std::wstring& text) { return WideToUtf8(text); }

struct TreeTotals {
  int files = 0;
  int folders = 0;
  uint64_t bytes = 0;
};

void CountTree(const std::wstring& folder, TreeTotals& totals) {
  std::vector<FolderEntry> entries;
  std::error_code error;
  ListFolder(folder, entries, error);
  for (const FolderEntry& entry : entries) {
    if (entry.IsFolder()) {
      ++totals.folders;
      CountTree(JoinPath(folder, entry.name), totals);
    } else {
      ++totals.files;
      totals.bytes += entry.bytes;
    }
  }
}

void PrintTree(const std::wstring& root) {
  TreeTotals totals;
  CountTree(root, totals);
  std::printf("installed tree %s: %d files, %d folders, %llu bytes\n", Utf8(root).c_str(), totals.files, totals.folders,
              static_cast<unsigned long long>(totals.bytes));
  std::vector<FolderEntry> entries;
  std::error_code error;
  ListFolder(root, entries, error);
  for (const FolderEntry& entry : entries) {
    std::printf("  %s%s\n", Utf8(entry.name).c_str(), entry.IsFolder() ? "\\" : "");
  }
}

void PrintUninstallEntry() {
  const wchar_t* key =
      L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
      L"{7A31C0DE-2F4B-4E19-9C5D-3B8E6A0F1D27}}_is1";
  std::printf("uninstall entry HKLM\\%s:\n", Utf8(key).c_str());
  UniqueHkey opened;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, opened.Put()) != ERROR_SUCCESS) {
    std::printf("  (missing)\n");
    return;
  }
  for (const wchar_t* name :
       {L"DisplayName", L"DisplayIcon", L"DisplayVersion", L"InstallLocation", L"Publisher", L"UninstallString"}) {
    wchar_t data[1024] = {};
    DWORD size = sizeof(data);
    const bool found =
        ::RegQueryValueExW(opened.Get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size) == ERROR_SUCCESS;
    std::printf("  %-16s %s\n", Utf8(name).c_str(), found ? Utf8(data).c_str() : "(missing)");
  }
}

void PrintLink(const std::wstring& path) {
  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> file;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(link.Put()))) ||
      FAILED(link.Get()->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Put()))) ||
      FAILED(file.Get()->Load(path.c_str(), STGM_READ))) {
    std::printf("  %s: (missing)\n", Utf8(path).c_str());
    return;
  }
  wchar_t target[MAX_PATH] = {};
  wchar_t description[MAX_PATH] = {};
  wchar_t directory[MAX_PATH] = {};
  link.Get()->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
  link.Get()->GetDescription(description, MAX_PATH);
  link.Get()->GetWorkingDirectory(directory, MAX_PATH);
  std::printf("  %s\n    -> %s (\"%s\", in %s)\n", Utf8(path).c_str(), Utf8(target).c_str(), Utf8(description).c_str(),
              Utf8(directory).c_str());
}

std::wstring ShellFolder(int csidl) {
  wchar_t buffer[MAX_PATH] = {};
  ::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer);
  return buffer;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: quillon_install.exe FOLDER\n");
    return 2;
  }
  auto logger = spdlog::stdout_logger_mt("install");
  logger->set_pattern("[%Y-%m-%d %H:%M:%S.%e] [%l] %v");
  spdlog::set_default_logger(logger);

  HWND window = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  // Kept for the rest of the process, like the main window's engine: the detached worker reads it.
  auto* engine = new InstallEngine{window, argv[1]};
  std::thread(&InstallEngine::Install, engine, kPayloadResourceId, engine->installDir).detach();

  int exitCode = 1;
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_INSTALL_PROGRESS) {
      auto* name = reinterpret_cast<std::wstring*>(message.lParam);
      std::printf("[%3d%%] %s\n", static_cast<int>(message.wParam), Utf8(*name).c_str());
      delete name;
    } else if (message.message == WM_INSTALL_SUCCEEDED || message.message == WM_INSTALL_FAILED) {
      exitCode = message.message == WM_INSTALL_SUCCEEDED ? 0 : 1;
      break;
    }
  }
  spdlog::default_logger()->flush();
  std::printf("\nresult: %s\n\n", exitCode == 0 ? "WM_INSTALL_SUCCEEDED" : "WM_INSTALL_FAILED");
  PrintTree(engine->installDir);
  std::printf("\n");
  PrintUninstallEntry();
  std::printf("\nlinks:\n");
  ::CoInitialize(nullptr);
  PrintLink(ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Quillon.lnk");
  PrintLink(ShellFolder(CSIDL_COMMON_PROGRAMS) + L"\\Quillon\\Quillon.lnk");
  PrintLink(ShellFolder(CSIDL_COMMON_PROGRAMS) + L"\\Quillon\\卸载Quillon.lnk");
  std::printf("  taskbar pins in %s\n", Utf8(TaskbarPinFolder()).c_str());
  ::CoUninitialize();
  std::fflush(stdout);
  return exitCode;
}
