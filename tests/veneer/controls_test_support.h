// Helpers of the control tests: state-strip images written at run time, pixel counting and a
// notification log.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/veneer/veneer_test_support.h"
#include "veneer/paint_manager.h"

namespace VeneerTest {

// Writes an opaque 24-bit BMP of one band per colour (0xRRGGBB), each band `bandSize` pixels thick and
// `length` long: stacked top to bottom like the skin's four-state button strips, or side by side.
void WriteBandsBmp(const std::filesystem::path& path, int length, int bandSize, const std::vector<uint32_t>& colors,
                   bool sideBySide = false);

// Pixels of a surface region satisfying a predicate on the 0xRRGGBB value.
int CountPixels(const Surface& surface, const RECT& area, const std::function<bool(uint32_t rgb)>& predicate);

// Collects notifications as "type:sender-name", and their wParam.
class NotifyLog : public Veneer::INotifyUI {
 public:
  void Notify(Veneer::NotifyRecord& msg) override;
  [[nodiscard]] int Count(const std::wstring& entry) const;
  std::vector<std::wstring> entries;
  std::vector<WPARAM> wParams;
};

// A window whose root layout the test builds and attaches, with a log of its notifications.
class ControlTree : public ::testing::Test {
 protected:
  // Replaces the window and the tree, and lays the tree out over the whole client area.
  template <typename Root>
  Root* Attach(Root* root, int width, int height, bool layered = false) {
    window_ = std::make_unique<TestWindow>(width, height);
    log_.entries.clear();
    if (layered) window_->Manager().SetLayered(true);
    window_->Manager().AttachDialog(root);
    window_->Manager().AddNotifier(&log_);
    root->SetPos(RECT{0, 0, width, height}, false);
    width_ = width;
    height_ = height;
    return root;
  }
  // Puts the control, with the attributes applied, atop a vertical layout (a stretching spacer below it).
  template <typename Control>
  Control* AttachInColumn(Control* control, const wchar_t* attributes, int width, int height, bool layered = false) {
    auto* root = new Veneer::CVerticalLayoutUI();
    control->ApplyAttributeList(attributes);
    root->Add(control);
    root->Add(new Veneer::CControlUI());
    Attach(root, width, height, layered);
    return control;
  }
  // Paints the whole tree onto a black surface.
  std::unique_ptr<Surface> Paint();

  NotifyLog log_;  // outlives the window that reports to it
  std::unique_ptr<TestWindow> window_;
  int width_ = 0;
  int height_ = 0;
};

}  // namespace VeneerTest
