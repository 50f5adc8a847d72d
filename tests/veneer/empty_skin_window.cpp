// A skinned window whose skin builds no control; the window base ends the process with exit code 1
// while the window is being created. Started by the window base tests.
#include <cstdio>

#include "veneer/window_impl_base.h"

namespace {

class EmptyWindow : public Veneer::WindowImplBase {
 public:
  const wchar_t* GetWindowClassName() const override { return L"VeneerEmptySkinWindow"; }
  std::wstring GetSkinFile() override { return L"<Window size=\"120,80\"><Font id=\"0\" size=\"9\"/></Window>"; }
};

}  // namespace

int main() {
  EmptyWindow window;
  window.Create(nullptr, L"empty", WS_POPUP, 0, 0, 0, 120, 80);
  std::printf("shown\n");
  return 0;
}
