// A recording icacls.exe for the life of the object. Named to the engine, it is the program the permissions
// step starts; planted in the current directory, it is what a search of the program path would find before
// the system folders, which the product must never run.
#pragma once

#include <filesystem>
#include <string>

#include "tests/support/process_runner.h"
#include "tests/support/temp_folder.h"

class RecordingIcacls {
 public:
  enum class Placement { kNamedToTheEngine, kPlantedInCurrentDirectory };

  explicit RecordingIcacls(Placement placement = Placement::kNamedToTheEngine);
  RecordingIcacls(const RecordingIcacls&) = delete;
  RecordingIcacls& operator=(const RecordingIcacls&) = delete;
  ~RecordingIcacls();

  // What the recorder wrote: one command line per run, each followed by "finished" once it ended.
  [[nodiscard]] std::string Record() const;
  // The record of one run for dir: the recorder's full path quoted as the first argument, then the grant.
  [[nodiscard]] std::string RecordFor(const std::filesystem::path& dir) const;

 private:
  Placement placement_;
  TempFolder folder_{L"icacls"};
  std::filesystem::path program_ = folder_.Path() / L"icacls.exe";
  std::filesystem::path previousDirectory_;
  ScopedEnvironment recordVariable_;
};
