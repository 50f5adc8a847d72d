#include "ui/taskbar_button.h"

#include <shobjidl.h>

#include <spdlog/spdlog.h>

#include "app/unique_resource.h"

namespace {

class ShellTaskbarButton final : public TaskbarButton {
 public:
  void OnButtonCreated(HWND window) override {
    taskbar_.Reset();
    const HRESULT created = ::CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                               reinterpret_cast<void**>(taskbar_.Put()));
    if (FAILED(created) || FAILED(taskbar_.Get()->HrInit())) {
      // Without the taskbar's progress the installation runs just the same.
      spdlog::warn("任务栏进度不可用：0x{:08X}", static_cast<unsigned>(created));
      taskbar_.Reset();
      return;
    }
    Apply(window);
  }

  void ShowProgress(HWND window, int percent) override {
    state_ = TBPF_NORMAL;
    percent_ = percent;
    Apply(window);
  }

  void ShowError(HWND window) override {
    state_ = TBPF_ERROR;
    Apply(window);
  }

  void ClearProgress(HWND window) override {
    state_ = TBPF_NOPROGRESS;
    Apply(window);
  }

  void Flash(HWND window) override {
    FLASHWINFO flash = {sizeof(flash), window, FLASHW_ALL | FLASHW_TIMERNOFG, 0, 0};
    ::FlashWindowEx(&flash);
  }

 private:
  void Apply(HWND window) {
    if (!taskbar_) return;
    taskbar_.Get()->SetProgressState(window, state_);
    // The error state keeps the bar's length, red, where the installation stopped.
    if (state_ != TBPF_NOPROGRESS) taskbar_.Get()->SetProgressValue(window, static_cast<ULONGLONG>(percent_), 100);
  }

  ComPtr<ITaskbarList3> taskbar_;
  TBPFLAG state_ = TBPF_NOPROGRESS;
  int percent_ = 0;
};

}  // namespace

UINT TaskbarButtonCreatedMessage() {
  static const UINT message = ::RegisterWindowMessageW(L"TaskbarButtonCreated");
  return message;
}

std::unique_ptr<TaskbarButton> MakeShellTaskbarButton() { return std::make_unique<ShellTaskbarButton>(); }
