// unins000.exe: removes the installation it lies in. Started from the installation (the links, the list of
// installed programs), it copies itself to the temporary folder and lets the copy do the work, because a
// running program cannot delete its own file: the copy waits for the result to be read, then for this
// original process to end, and deletes the original program last. The original ends with the copy's result
// as its exit code, handed over through an inherited pipe. "/S" runs without any window.
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <spdlog/spdlog.h>

#include <cwchar>
#include <string>
#include <vector>

#include "app/logger.h"
#include "app/system_info.h"
#include "app/text_encoding.h"
#include "app/unique_resource.h"
#include "app/win_path.h"
#include "engine/folder_ownership.h"
#include "uninstaller/uninstall_job.h"
#include "uninstaller/uninstall_wnd.h"
#include "veneer/paint_manager.h"

namespace {

constexpr WORD kSkinResourceId = 109;

struct Arguments {
  bool silent = false;
  std::wstring installDir;  // set only in the temporary copy
  HANDLE resultPipe = nullptr;
  DWORD originalPid = 0;
};

Arguments ParseArguments() {
  Arguments parsed;
  int count = 0;
  LPWSTR* arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (arguments == nullptr) return parsed;
  for (int i = 1; i < count; ++i) {
    const std::wstring argument = arguments[i];
    const bool hasValue = i + 1 < count;
    if (::_wcsicmp(argument.c_str(), L"/S") == 0) {
      parsed.silent = true;
    } else if (argument == L"--install-dir" && hasValue) {
      parsed.installDir = arguments[++i];
    } else if (argument == L"--result-pipe" && hasValue) {
      parsed.resultPipe = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(std::wcstoul(arguments[++i], nullptr, 10)));
    } else if (argument == L"--wait-pid" && hasValue) {
      parsed.originalPid = std::wcstoul(arguments[++i], nullptr, 10);
    }
  }
  ::LocalFree(arguments);
  return parsed;
}

void Tell(bool silent, const std::wstring& text) {
  spdlog::warn("{}", WideToUtf8(text));
  if (!silent) ::MessageBoxW(nullptr, text.c_str(), L"Quillon 卸载", MB_OK | MB_ICONWARNING);
}

// The original: checks that its folder is an installation, starts the copy and returns the copy's result.
int HandOverToCopy(bool silent) {
  const std::wstring installDir = GetExeDirectory();
  if (ClassifyFolder(installDir, RegisteredInstallLocation()) != FolderState::kInstallation) {
    Tell(silent, ResultText(kNotAnInstallation, installDir));
    return kNotAnInstallation;
  }

  // A folder of its own per process, so that two copies never share one.
  const std::wstring copyDir = GetTempDirectory() + L"quillon\\uninstall-" + std::to_wstring(::GetCurrentProcessId());
  const std::wstring copyPath = copyDir + L"\\" + kUninstallerName;
  std::error_code error;
  CreateDirectories(copyDir, error);
  if (!::CopyFileW((installDir + L"\\" + kUninstallerName).c_str(), copyPath.c_str(), FALSE)) {
    spdlog::error("HandOverToCopy CopyFileW err:{}", ::GetLastError());
    Tell(silent, ResultText(kCopyFailed, installDir));
    return kCopyFailed;
  }

  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  UniqueHandle readEnd, writeEnd;
  if (!::CreatePipe(readEnd.Put(), writeEnd.Put(), &inheritable, 0) ||
      !::SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0)) {
    Tell(silent, ResultText(kCopyFailed, installDir));
    return kCopyFailed;
  }
  std::wstring commandLine = L"\"" + copyPath + L"\" --install-dir \"" + installDir + L"\" --result-pipe " +
                             std::to_wstring(reinterpret_cast<uintptr_t>(writeEnd.Get())) + L" --wait-pid " +
                             std::to_wstring(::GetCurrentProcessId()) + (silent ? L" /S" : L"");
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(copyPath.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, copyDir.c_str(),
                        &startup, &process)) {
    spdlog::error("HandOverToCopy CreateProcessW err:{}", ::GetLastError());
    Tell(silent, ResultText(kCopyFailed, installDir));
    return kCopyFailed;
  }
  UniqueHandle copyProcess(process.hProcess), copyThread(process.hThread);
  writeEnd = UniqueHandle();  // the copy's end only: reading sees the pipe break if the copy dies

  int result = kOtherError;
  DWORD read = 0;
  if (!::ReadFile(readEnd.Get(), &result, sizeof(result), &read, nullptr) || read != sizeof(result)) {
    spdlog::error("HandOverToCopy the copy ended without a result");
    result = kOtherError;
  }
  return result;
}

void UseSkinResource() {
  const ResourceBytes skin = FindOwnResource(L"ZIP", kSkinResourceId);
  if (skin.data == nullptr || skin.size == 0) return;
  Veneer::CPaintManagerUI::SetResourcePath(L"");
  Veneer::CPaintManagerUI::SetResourceZip(skin.data, skin.size);
}

// The window's run; started tells whether the user confirmed the uninstallation.
int RunWindow(HINSTANCE instance, const std::wstring& installDir, bool& started) {
  Veneer::CPaintManagerUI::SetInstance(instance);
  UseSkinResource();
  const HRESULT ole = ::OleInitialize(nullptr);
  auto* window = new CUninstallWnd(installDir);
  if (window->Create(nullptr, L"Quillon 卸载", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                     0) == nullptr) {
    spdlog::error("CreateWindowExW failed: {}", ::GetLastError());
    return kWindowUnusable;
  }
  window->CenterWindow();
  window->ShowWindow(true, true);
  Veneer::CPaintManagerUI::MessageLoop();
  if (SUCCEEDED(ole)) ::OleUninitialize();
  started = window->Started();
  return window->GetResult();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*commandLine*/, int /*showCommand*/) {
  static LogGuard logGuard = InitLogger(GetExeFileName());
  const Arguments arguments = ParseArguments();
  if (arguments.installDir.empty()) return HandOverToCopy(arguments.silent);

  // The temporary copy. The original is waiting for the result, so its handle can still be opened.
  UniqueHandle original(::OpenProcess(SYNCHRONIZE, FALSE, arguments.originalPid));
  UniqueHandle resultPipe(arguments.resultPipe);
  // The folder is checked again: this program can be started with any folder text.
  bool started = true;
  int result = kNotAnInstallation;
  if (ClassifyFolder(arguments.installDir, RegisteredInstallLocation()) != FolderState::kInstallation) {
    started = false;
    Tell(arguments.silent, ResultText(kNotAnInstallation, arguments.installDir));
  } else {
    result =
        arguments.silent ? RunUninstall(arguments.installDir, {}) : RunWindow(instance, arguments.installDir, started);
  }
  DWORD written = 0;
  ::WriteFile(resultPipe.Get(), &result, sizeof(result), &written, nullptr);
  resultPipe = UniqueHandle();
  if (original) ::WaitForSingleObject(original.Get(), INFINITE);
  FinishSelfRemoval(arguments.installDir, started, result);
  return result;
}
