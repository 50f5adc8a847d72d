#include "app/process_launch.h"

#include <exdisp.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include <spdlog/spdlog.h>

#include <vector>

#include "app/text_encoding.h"
#include "app/unique_resource.h"

namespace {

constexpr DWORD kDetachedFlags = CREATE_UNICODE_ENVIRONMENT | DETACHED_PROCESS;

// The folder part of the program path, or empty when the caller's folder is to be inherited.
std::wstring WorkingDirectoryOf(const std::wstring& programPath) {
  const size_t separator = programPath.find_last_of(L"\\/");
  if (separator == std::wstring::npos || separator == 0) return {};
  std::wstring folder = programPath.substr(0, separator);
  // "C:" alone names the drive's current folder, not its root, so a program at the root of a drive would
  // start wherever the caller last was on that drive.
  if (folder.size() == 2 && folder[1] == L':') folder += L'\\';
  return folder;
}

DWORD Launch(const std::wstring& programPath, const std::wstring& argumentText, DWORD firstFlags,
             bool retryWithoutBreakaway) {
  const std::wstring folder = WorkingDirectoryOf(programPath);
  const std::wstring text = L"\"" + programPath + L"\" " + argumentText;
  // CreateProcessW may write into the command line, so it gets a private copy each time.
  auto start = [&](DWORD flags) -> DWORD {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    std::vector<wchar_t> commandLine(text.begin(), text.end());
    commandLine.push_back(L'\0');
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, flags, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
      return Process::kLaunchFailed;
    }
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    return info.dwProcessId;
  };

  DWORD processId = start(firstFlags);
  // A job that does not allow breaking away refuses the first attempt; the program still has to start.
  if (processId == Process::kLaunchFailed && retryWithoutBreakaway) processId = start(kDetachedFlags);
  return processId;
}

// A VARIANT that owns what it holds.
class OwnedVariant {
 public:
  OwnedVariant() noexcept { ::VariantInit(&value_); }
  explicit OwnedVariant(const std::wstring& text) noexcept : OwnedVariant() {
    value_.bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (value_.bstrVal != nullptr) value_.vt = VT_BSTR;
  }
  explicit OwnedVariant(LONG number) noexcept : OwnedVariant() {
    value_.vt = VT_I4;
    value_.lVal = number;
  }
  OwnedVariant(const OwnedVariant&) = delete;
  OwnedVariant& operator=(const OwnedVariant&) = delete;
  ~OwnedVariant() { ::VariantClear(&value_); }
  VARIANT* Get() noexcept { return &value_; }
  // VT_BSTR unless the text could not be allocated; VT_EMPTY would silently mean "no text" to the callee.
  bool Holds(VARTYPE type) const noexcept { return value_.vt == type; }

 private:
  VARIANT value_;
};

}  // namespace

namespace Process {

HRESULT FindDesktopShell(IShellDispatch2** shell, const char** failedStep) {
  *shell = nullptr;
  // Each step either succeeds with an object or names itself as the failure.
  auto fail = [failedStep](const char* step, HRESULT result) {
    *failedStep = step;
    return FAILED(result) ? result : E_FAIL;
  };
  ComPtr<IShellWindows> windows;
  HRESULT result = ::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                      reinterpret_cast<void**>(windows.Put()));
  if (FAILED(result) || !windows) return fail("CoCreateInstance(ShellWindows)", result);

  OwnedVariant desktop(static_cast<LONG>(CSIDL_DESKTOP));
  OwnedVariant noRoot;
  LONG desktopWindow = 0;
  ComPtr<IDispatch> browserDispatch;
  // S_FALSE: no window of that kind.
  result = windows.Get()->FindWindowSW(desktop.Get(), noRoot.Get(), SWC_DESKTOP, &desktopWindow, SWFO_NEEDDISPATCH,
                                       browserDispatch.Put());
  if (result != S_OK || !browserDispatch) return fail("IShellWindows::FindWindowSW", result);

  ComPtr<IServiceProvider> services;
  result = browserDispatch.Get()->QueryInterface(IID_IServiceProvider, reinterpret_cast<void**>(services.Put()));
  if (FAILED(result) || !services) return fail("IServiceProvider", result);
  ComPtr<IShellBrowser> browser;
  result =
      services.Get()->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, reinterpret_cast<void**>(browser.Put()));
  if (FAILED(result) || !browser) return fail("QueryService(SID_STopLevelBrowser)", result);
  ComPtr<IShellView> view;
  result = browser.Get()->QueryActiveShellView(view.Put());
  if (FAILED(result) || !view) return fail("IShellBrowser::QueryActiveShellView", result);
  ComPtr<IDispatch> background;
  result = view.Get()->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, reinterpret_cast<void**>(background.Put()));
  if (FAILED(result) || !background) return fail("IShellView::GetItemObject(SVGIO_BACKGROUND)", result);
  ComPtr<IShellFolderViewDual> folderView;
  result = background.Get()->QueryInterface(IID_IShellFolderViewDual, reinterpret_cast<void**>(folderView.Put()));
  if (FAILED(result) || !folderView) return fail("IShellFolderViewDual", result);
  ComPtr<IDispatch> application;
  result = folderView.Get()->get_Application(application.Put());
  if (FAILED(result) || !application) return fail("IShellFolderViewDual::get_Application", result);
  result = application.Get()->QueryInterface(IID_IShellDispatch2, reinterpret_cast<void**>(shell));
  if (FAILED(result) || *shell == nullptr) return fail("IShellDispatch2", result);
  return S_OK;
}

bool OpenThroughDesktopShell(const std::wstring& file, const std::wstring& argumentText, const std::wstring& folder,
                             DesktopShellFinder finder) {
  const char* failedStep = "";
  ComPtr<IShellDispatch2> shell;
  HRESULT result = finder(shell.Put(), &failedStep);
  if (SUCCEEDED(result) && shell) {
    OwnedVariant fileText(file);
    OwnedVariant arguments(argumentText);
    OwnedVariant workingFolder(folder);
    OwnedVariant verb(std::wstring(L"open"));
    OwnedVariant show(static_cast<LONG>(SW_SHOWNORMAL));
    if (!fileText.Holds(VT_BSTR) || !arguments.Holds(VT_BSTR) || !workingFolder.Holds(VT_BSTR) ||
        !verb.Holds(VT_BSTR)) {
      failedStep = "SysAllocString";
      result = E_OUTOFMEMORY;
    } else {
      failedStep = "IShellDispatch2::ShellExecute";
      result = shell.Get()->ShellExecute(fileText.Get()->bstrVal, *arguments.Get(), *workingFolder.Get(), *verb.Get(),
                                         *show.Get());
    }
  } else if (SUCCEEDED(result)) {
    result = E_FAIL;
  }
  if (SUCCEEDED(result)) return true;
  spdlog::warn("桌面外壳无法打开 \"{}\"（{} 失败，0x{:08X}），改为直接启动，带有安装程序的管理员权限", WideToUtf8(file),
               failedStep, static_cast<uint32_t>(result));
  return false;
}

UserLaunch LaunchAsDesktopUser(const std::wstring& programPath, const std::wstring& argumentText,
                               DesktopShellFinder finder) {
  UserLaunch launch;
  launch.throughDesktopShell =
      OpenThroughDesktopShell(programPath, argumentText, WorkingDirectoryOf(programPath), finder);
  if (!launch.throughDesktopShell) launch.processId = LaunchProcess(programPath, argumentText);
  return launch;
}

DWORD LaunchProcess(const std::wstring& programPath, const std::wstring& argumentText) {
  return Launch(programPath, argumentText, 0, false);
}

DWORD LaunchDetachedProcess(const std::wstring& programPath, const std::wstring& argumentText) {
  return Launch(programPath, argumentText, CREATE_BREAKAWAY_FROM_JOB | kDetachedFlags, true);
}

}  // namespace Process
