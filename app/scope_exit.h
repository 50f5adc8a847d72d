// Runs a cleanup when a scope ends, unless the step it protects has committed (Release).
#pragma once

#include <utility>

template <typename Function>
class ScopeExit {
 public:
  explicit ScopeExit(Function function) noexcept : function_(std::move(function)) {}
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;
  ~ScopeExit() {
    if (armed_) function_();
  }
  void Release() noexcept { armed_ = false; }

 private:
  Function function_;
  bool armed_ = true;
};

template <typename Function>
[[nodiscard]] ScopeExit<Function> MakeScopeExit(Function function) noexcept {
  return ScopeExit<Function>(std::move(function));
}
