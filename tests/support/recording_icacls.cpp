#include "tests/support/recording_icacls.h"

#include <system_error>

#include "engine/promote_directory.h"

namespace fs = std::filesystem;

RecordingIcacls::RecordingIcacls(Placement placement)
    : placement_(placement),
      previousDirectory_(fs::current_path()),
      recordVariable_(L"QUILLON_ICACLS_RECORD", (folder_.Path() / L"record.txt").wstring()) {
  fs::copy_file(TestProgramFolder() / L"test_probe.exe", program_);
  if (placement_ == Placement::kNamedToTheEngine) {
    SetIcaclsProgramForTests(program_.wstring());
  } else {
    fs::current_path(folder_.Path());
  }
}

RecordingIcacls::~RecordingIcacls() {
  if (placement_ == Placement::kNamedToTheEngine) {
    SetIcaclsProgramForTests(L"");
  } else {
    std::error_code ignored;
    fs::current_path(previousDirectory_, ignored);
  }
}

std::string RecordingIcacls::Record() const { return ReadFileBytes(folder_.Path() / L"record.txt"); }

std::string RecordingIcacls::RecordFor(const fs::path& dir) const {
  return "\"" + program_.u8string() + "\" \"" + dir.u8string() + "\" /grant Everyone:(OI)(CI)M /T /Q\nfinished\n";
}
