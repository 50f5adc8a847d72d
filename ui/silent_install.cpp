#include "ui/silent_install.h"

#include <windows.h>

#include <spdlog/spdlog.h>

#include <thread>

#include "app/text_encoding.h"
#include "app/unique_resource.h"
#include "engine/folder_ownership.h"
#include "engine/install_engine.h"
#include "engine/install_folder.h"
#include "telemetry/async_https_client.h"
#include "ui/install_result.h"

namespace {

using UniqueMessageWindow = UniqueAny<NullInvalidTraits<HWND, &::DestroyWindow>>;

// The folder the window would install into, or none (logged) when it refuses it.
std::optional<std::wstring> AcceptedFolder(const std::wstring& text) {
  const FolderCheck check = CheckInstallFolder(text);
  if (check.problem != FolderProblem::kNone) {
    spdlog::warn("安装路径无效，未开始安装：\"{}\"（{}）", WideToUtf8(text), DescribeFolderProblem(check.problem));
    return std::nullopt;
  }
  // The installation replaces the folder as a whole: one holding anything else than the application is the
  // user's and is never used.
  const FolderState state = ClassifyFolder(check.folder, RegisteredInstallLocation());
  if (state == FolderState::kForeign || state == FolderState::kUnreadable) {
    spdlog::warn("安装路径不可用，未开始安装：\"{}\"（{}）", WideToUtf8(check.folder),
                 state == FolderState::kForeign ? "文件夹中有不属于本程序的文件" : "文件夹的内容无法读取");
    return std::nullopt;
  }
  return check.folder;
}

// Runs the worker on its own thread, as the window does, and receives its messages on a message-only
// window of this thread until the result. Returns the exit code the result earns.
int InstallAndWait(const std::wstring& folder) {
  UniqueMessageWindow receiver(
      ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
  if (!receiver) {
    const DWORD error = ::GetLastError();
    spdlog::error("静默安装：无法创建消息窗口：{}", error);
    InstallFailure failure;
    failure.systemError = error;
    return LogInstallResult(&failure);
  }
  // Kept for the rest of the process: the detached worker may still be returning after its last message.
  auto* engine = new InstallEngine{receiver.Get(), folder};
  std::thread(&InstallEngine::Install, engine, kPayloadResourceId, folder).detach();

  // Nothing ends this loop but the worker's result, so the process never stops halfway through the
  // folder swap; a quit message is taken and ignored.
  MSG message;
  for (;;) {
    if (::GetMessageW(&message, nullptr, 0, 0) == -1) continue;  // only for invalid arguments
    if (message.hwnd != receiver.Get()) {
      ::DispatchMessageW(&message);
      continue;
    }
    switch (message.message) {
      case WM_INSTALL_PROGRESS:
        delete reinterpret_cast<std::wstring*>(message.lParam);  // only freed: nobody sees the progress
        break;
      case WM_INSTALL_SUCCEEDED: return LogInstallResult(nullptr);
      case WM_INSTALL_FAILED: {
        const InstallFailure failure = TakeInstallFailure(message.wParam, message.lParam);
        return LogInstallResult(&failure);
      }
      default: ::DispatchMessageW(&message); break;
    }
  }
}

}  // namespace

int RunSilentInstall(const std::optional<std::wstring>& folderText) {
  const std::wstring text = folderText ? *folderText : ProposedInstallFolder();
  spdlog::info("静默安装，安装路径：\"{}\"", WideToUtf8(text));
  const std::optional<std::wstring> folder = AcceptedFolder(text);
  if (!folder) {
    const int exitCode = ExitCodeFor(FailureCause::kFolderNotUsable);
    spdlog::error("静默安装失败：安装路径不可用，未安装（退出码 {}）", exitCode);
    return exitCode;
  }

  // The same events as an installation started with the install button. Sending never blocks; the outcome
  // only reaches the log.
  AsyncHttpsClient& telemetry = AsyncHttpsClient::GetInstance();
  (void)telemetry.SendLog("click", "install_click");
  (void)telemetry.SendLog("pv", "install_start");
  const int exitCode = InstallAndWait(*folder);
  (void)telemetry.SendLog("click", "install_complete");
  telemetry.Shutdown();  // bounded: the events get their chance to leave before the process ends
  spdlog::info("静默安装结束，退出码 {}", exitCode);
  return exitCode;
}
