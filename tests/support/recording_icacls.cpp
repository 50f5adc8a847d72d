#include "tests/support/recording_icacls.h"

#include <system_error>

namespace fs = std::filesystem;

RecordingIcacls::RecordingIcacls()
    : previousDirectory_(fs::current_path()),
      recordVariable_(L"QUILLON_ICACLS_RECORD", (folder_.Path() / L"record.txt").wstring()) {
  fs::copy_file(TestProgramFolder() / L"icacls_recorder.exe", folder_.Path() / L"icacls.exe");
  fs::current_path(folder_.Path());
}

RecordingIcacls::~RecordingIcacls() {
  std::error_code ignored;
  fs::current_path(previousDirectory_, ignored);
}

std::string RecordingIcacls::Record() const { return ReadFileBytes(folder_.Path() / L"record.txt"); }
