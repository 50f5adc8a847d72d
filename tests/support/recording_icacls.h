// Puts a recording icacls.exe first on the program search path of this process for the life of the object:
// CreateProcessW looks in the current directory before the system folders, so the recorder is made the
// current directory's icacls.exe.
#pragma once

#include <filesystem>
#include <string>

#include "tests/support/process_runner.h"
#include "tests/support/temp_folder.h"

class RecordingIcacls {
 public:
  RecordingIcacls();
  RecordingIcacls(const RecordingIcacls&) = delete;
  RecordingIcacls& operator=(const RecordingIcacls&) = delete;
  ~RecordingIcacls();

  // What the recorder wrote: one command line per run, each followed by "finished" once it ended.
  [[nodiscard]] std::string Record() const;

 private:
  TempFolder folder_{L"icacls"};
  std::filesystem::path previousDirectory_;
  ScopedEnvironment recordVariable_;
};
