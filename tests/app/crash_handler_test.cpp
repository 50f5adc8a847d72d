// Crash capture end to end: a probe registers the handler as start-up does and then faults for real, from a
// folder with or without "logs". The dump is read back as a minidump (header, stream directory, exception
// stream), not merely checked for existence.
#include "app/crash_handler.h"

#include <windows.h>
#include <dbghelp.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <fstream>
#include <string>

#include "tests/support/captured_log.h"
#include "tests/support/process_runner.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

constexpr DWORD kRaisedByProbe = 0xE0000051;

template <typename T>
bool ReadAt(const std::string& bytes, size_t offset, T* out) {
  if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) return false;
  std::memcpy(out, bytes.data() + offset, sizeof(T));
  return true;
}

// The exception stream of a minidump, every offset checked; none when the file is no readable minidump
// with one.
std::optional<MINIDUMP_EXCEPTION_STREAM> ReadExceptionStream(const fs::path& path) {
  const std::string bytes = ReadFileBytes(path);
  MINIDUMP_HEADER header{};
  if (!ReadAt(bytes, 0, &header) || bytes.compare(0, 4, "MDMP") != 0 || (header.Version & 0xFFFF) != MINIDUMP_VERSION) {
    return std::nullopt;
  }
  for (ULONG32 i = 0; i < header.NumberOfStreams; ++i) {
    MINIDUMP_DIRECTORY entry{};
    MINIDUMP_EXCEPTION_STREAM stream{};
    if (!ReadAt(bytes, header.StreamDirectoryRva + i * sizeof(entry), &entry)) return std::nullopt;
    if (entry.StreamType != ExceptionStream) continue;
    if (entry.Location.DataSize < sizeof(stream) || !ReadAt(bytes, entry.Location.Rva, &stream)) return std::nullopt;
    return stream;
  }
  return std::nullopt;
}

class CrashCaptureTest : public ::testing::Test {
 protected:
  TempFolder withLogs_{L"crash"};
  TempFolder withoutLogs_{L"nologs"};
  const fs::path dump_ = withLogs_.Path() / L"logs" / L"installer_crash.dmp";

  void SetUp() override {
    fs::create_directories(withLogs_.Path() / L"logs");
    for (const fs::path& folder : {withLogs_.Path(), withoutLogs_.Path()}) {
      fs::copy_file(TestProgramFolder() / L"test_probe.exe", folder / L"test_probe.exe");
    }
  }

  // Runs the probe copy in folder; returns its output and stores the id of its main thread.
  ProcessOutput RunProbe(const fs::path& folder, const std::wstring& mode) {
    ProcessOutput output = RunProcess(L"\"" + (folder / L"test_probe.exe").wstring() + L"\" " + mode);
    const size_t at = output.standardOutput.find("thread=");
    probeThread_ = at == std::string::npos ? 0 : std::stoul(output.standardOutput.substr(at + 7));
    return output;
  }

  DWORD probeThread_ = 0;
};

TEST_F(CrashCaptureTest, ProcessorFaultsReplaceTheDumpInLogsAndTheProcessStillEnds) {
  const std::pair<const wchar_t*, DWORD> faults[] = {{L"access-violation", EXCEPTION_ACCESS_VIOLATION},
                                                     {L"illegal-instruction", EXCEPTION_ILLEGAL_INSTRUCTION},
                                                     {L"stack-overflow", EXCEPTION_STACK_OVERFLOW}};
  for (const auto& [mode, code] : faults) {
    SCOPED_TRACE(::testing::Message() << std::hex << code);
    { std::ofstream(dump_) << "dump of an earlier crash"; }
    const ProcessOutput probe = RunProbe(withLogs_.Path(), mode);
    EXPECT_EQ(probe.exitCode, code) << probe.standardOutput;
    // The overflow dump is written on a thread of its own, whatever is left of the exhausted stack.
    const std::optional<MINIDUMP_EXCEPTION_STREAM> dump = ReadExceptionStream(dump_);
    ASSERT_TRUE(dump) << "no readable exception stream";
    EXPECT_EQ(dump->ExceptionRecord.ExceptionCode, code);
    EXPECT_EQ(dump->ThreadId, probeThread_);
    if (code == EXCEPTION_ACCESS_VIOLATION) {
      ASSERT_EQ(dump->ExceptionRecord.NumberParameters, 2u);
      EXPECT_EQ(dump->ExceptionRecord.ExceptionInformation[0], 1u) << "a write";
      EXPECT_EQ(dump->ExceptionRecord.ExceptionInformation[1], 0x10u) << "the address the probe wrote to";
    }
  }
}

// No dump without a "logs" folder beside the program; none for software exceptions and breakpoints, which
// are no crash of the installer's own; and none for a fault in the exit teardown (a static made before
// the registration faults in its destructor), when the handler is gone.
TEST_F(CrashCaptureTest, NoDumpWithoutALogsFolderForSoftwareExceptionsOrAfterTheHandlerIsGone) {
  const struct {
    const fs::path& folder;
    const wchar_t* mode;
    DWORD code;
  } cases[] = {{withoutLogs_.Path(), L"access-violation", EXCEPTION_ACCESS_VIOLATION},
               {withLogs_.Path(), L"raise", kRaisedByProbe},
               {withLogs_.Path(), L"breakpoint", EXCEPTION_BREAKPOINT},
               {withLogs_.Path(), L"fault-at-exit", EXCEPTION_ACCESS_VIOLATION}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    const auto before = TreeSnapshot(c.folder);
    const ProcessOutput probe = RunProbe(c.folder, c.mode);
    EXPECT_EQ(probe.exitCode, c.code);
    EXPECT_NE(probeThread_, 0u) << "the handler was registered";
    EXPECT_EQ(TreeSnapshot(c.folder), before);
  }
}

TEST_F(CrashCaptureTest, RunsBeforeEarlierHandlersAndLetsThemHandleTheFault) {
  // The probe registered a resuming handler first; the crash handler still sees the raised access violation
  // and then hands it on, and the program carries on.
  const ProcessOutput probe = RunProbe(withLogs_.Path(), L"handled");
  EXPECT_EQ(probe.exitCode, 0u);
  EXPECT_NE(probe.standardOutput.find("resumed"), std::string::npos) << probe.standardOutput;
  const std::optional<MINIDUMP_EXCEPTION_STREAM> dump = ReadExceptionStream(dump_);
  ASSERT_TRUE(dump) << "no readable exception stream";
  EXPECT_EQ(dump->ExceptionRecord.ExceptionCode, EXCEPTION_ACCESS_VIOLATION);
  EXPECT_EQ(dump->ExceptionRecord.NumberParameters, 0u) << "raised by the program, not by the processor";
}

PVOID WINAPI RefuseRegistration(ULONG, PVECTORED_EXCEPTION_HANDLER) { return nullptr; }

TEST(CrashHandlerRegistration, LogsOnlyWhenRegistrationFails) {
  CapturedLog capture;
  {
    CrashHandlerRegistration registration;
    EXPECT_TRUE(registration.IsRegistered());
  }
  EXPECT_TRUE(capture.Lines().empty());

  CrashHandlerRegistration refused(&RefuseRegistration);
  EXPECT_FALSE(refused.IsRegistered());
  ASSERT_EQ(capture.Lines().size(), 1u);
  EXPECT_EQ(capture.Find(spdlog::level::err, "AddVectoredExceptionHandler failed").size(), 1u);
}

}  // namespace
