// A running copy of the test probe under a chosen path, standing in for a running program of that name.
#pragma once

#include <windows.h>

#include <filesystem>

#include "app/unique_resource.h"

class RunningCopy {
 public:
  // Copies the probe to program, starts it (it sleeps 60 s) and waits until the process list shows it
  // under its file name.
  explicit RunningCopy(const std::filesystem::path& program);
  RunningCopy(const RunningCopy&) = delete;
  RunningCopy& operator=(const RunningCopy&) = delete;
  RunningCopy(RunningCopy&&) = default;
  RunningCopy& operator=(RunningCopy&&) = default;
  ~RunningCopy();

  [[nodiscard]] bool Listed() const { return listed_; }
  [[nodiscard]] bool Running() const;
  // Ended by TerminateProcess with exit code 0, rather than by its own end (exit code 7).
  [[nodiscard]] bool Terminated() const;

 private:
  UniqueHandle process_;
  bool listed_ = false;
};
