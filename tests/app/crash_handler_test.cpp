// Crash capture end to end: a probe registers the handler as start-up does and then faults for real, from a
// folder with or without "logs". The dump is read back as a minidump (header, stream directory, exception
// stream), not merely checked for existence.
#include "app/crash_handler.h"

#include <windows.h>
#include <dbghelp.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/captured_log.h"
#include "tests/support/process_runner.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

constexpr DWORD kRaisedByProbe = 0xE0000051;

// What a minidump says about the exception it was written for.
struct DumpFacts {
  bool valid = false;
  std::string fault;  // why the file is not a readable minidump with an exception stream
  DWORD threadId = 0;
  MINIDUMP_EXCEPTION exception{};
};

template <typename T>
bool ReadAt(const std::string& bytes, size_t offset, T* out) {
  if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) return false;
  std::memcpy(out, bytes.data() + offset, sizeof(T));
  return true;
}

DumpFacts ReadDump(const fs::path& path) {
  DumpFacts facts;
  const std::string bytes = ReadFileBytes(path);
  MINIDUMP_HEADER header{};
  if (!ReadAt(bytes, 0, &header)) return facts.fault = "shorter than a header", facts;
  if (bytes.compare(0, 4, "MDMP") != 0) return facts.fault = "no MDMP signature", facts;
  if ((header.Version & 0xFFFF) != MINIDUMP_VERSION) return facts.fault = "unknown version", facts;
  for (ULONG32 i = 0; i < header.NumberOfStreams; ++i) {
    MINIDUMP_DIRECTORY entry{};
    if (!ReadAt(bytes, header.StreamDirectoryRva + i * sizeof(entry), &entry)) {
      return facts.fault = "stream directory runs past the end", facts;
    }
    if (entry.StreamType != ExceptionStream) continue;
    MINIDUMP_EXCEPTION_STREAM stream{};
    if (entry.Location.DataSize < sizeof(stream) || !ReadAt(bytes, entry.Location.Rva, &stream)) {
      return facts.fault = "exception stream runs past the end", facts;
    }
    facts.valid = true;
    facts.threadId = stream.ThreadId;
    facts.exception = stream.ExceptionRecord;
    return facts;
  }
  return facts.fault = "no exception stream", facts;
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

TEST_F(CrashCaptureTest, AccessViolationReplacesTheDumpInLogsAndTheProcessStillEnds) {
  { std::ofstream(dump_) << "dump of an earlier crash"; }
  const ProcessOutput probe = RunProbe(withLogs_.Path(), L"access-violation");
  EXPECT_EQ(probe.exitCode, static_cast<unsigned long>(EXCEPTION_ACCESS_VIOLATION)) << probe.standardOutput;

  const DumpFacts dump = ReadDump(dump_);
  ASSERT_TRUE(dump.valid) << dump.fault;
  EXPECT_EQ(dump.exception.ExceptionCode, EXCEPTION_ACCESS_VIOLATION);
  EXPECT_EQ(dump.threadId, probeThread_);
  ASSERT_EQ(dump.exception.NumberParameters, 2u);
  EXPECT_EQ(dump.exception.ExceptionInformation[0], 1u) << "a write";
  EXPECT_EQ(dump.exception.ExceptionInformation[1], 0x10u) << "the address the probe wrote to";
}

TEST_F(CrashCaptureTest, IllegalInstructionAndStackOverflowAreCaptured) {
  const std::pair<const wchar_t*, DWORD> faults[] = {{L"illegal-instruction", EXCEPTION_ILLEGAL_INSTRUCTION},
                                                     {L"stack-overflow", EXCEPTION_STACK_OVERFLOW}};
  for (const auto& [mode, code] : faults) {
    SCOPED_TRACE(::testing::Message() << std::hex << code);
    fs::remove(dump_);
    const ProcessOutput probe = RunProbe(withLogs_.Path(), mode);
    EXPECT_EQ(probe.exitCode, code);
    // The overflow dump is written on a thread of its own, whatever is left of the exhausted stack.
    const DumpFacts dump = ReadDump(dump_);
    ASSERT_TRUE(dump.valid) << dump.fault;
    EXPECT_EQ(dump.exception.ExceptionCode, code);
    EXPECT_EQ(dump.threadId, probeThread_);
  }
}

TEST_F(CrashCaptureTest, WithoutALogsFolderNothingIsWritten) {
  const ProcessOutput probe = RunProbe(withoutLogs_.Path(), L"access-violation");
  EXPECT_EQ(probe.exitCode, static_cast<unsigned long>(EXCEPTION_ACCESS_VIOLATION));
  std::vector<fs::path> left;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(withoutLogs_.Path())) {
    left.push_back(entry.path().filename());
  }
  EXPECT_EQ(left, std::vector<fs::path>{L"test_probe.exe"});
}

TEST_F(CrashCaptureTest, SoftwareExceptionsAndBreakpointsLeaveNoDump) {
  const std::pair<const wchar_t*, DWORD> endings[] = {{L"raise", kRaisedByProbe},
                                                      {L"breakpoint", EXCEPTION_BREAKPOINT}};
  for (const auto& [mode, code] : endings) {
    SCOPED_TRACE(::testing::Message() << std::hex << code);
    const ProcessOutput probe = RunProbe(withLogs_.Path(), mode);
    EXPECT_EQ(probe.exitCode, code);
    EXPECT_FALSE(fs::exists(dump_));
  }
}

TEST_F(CrashCaptureTest, RunsBeforeEarlierHandlersAndLetsThemHandleTheFault) {
  // The probe registered a resuming handler first; the crash handler still sees the raised access violation
  // and then hands it on, and the program carries on.
  const ProcessOutput probe = RunProbe(withLogs_.Path(), L"handled");
  EXPECT_EQ(probe.exitCode, 0u);
  EXPECT_NE(probe.standardOutput.find("resumed"), std::string::npos) << probe.standardOutput;
  const DumpFacts dump = ReadDump(dump_);
  ASSERT_TRUE(dump.valid) << dump.fault;
  EXPECT_EQ(dump.exception.ExceptionCode, EXCEPTION_ACCESS_VIOLATION);
  EXPECT_EQ(dump.exception.NumberParameters, 0u) << "raised by the program, not by the processor";
}

TEST_F(CrashCaptureTest, HandlerIsGoneDuringExitTeardown) {
  // The probe faults in the destructor of a static made before the registration.
  const ProcessOutput probe = RunProbe(withLogs_.Path(), L"fault-at-exit");
  EXPECT_EQ(probe.exitCode, static_cast<unsigned long>(EXCEPTION_ACCESS_VIOLATION));
  EXPECT_NE(probeThread_, 0u);
  EXPECT_FALSE(fs::exists(dump_));
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
