// Measures payload extraction under Wine on a reference payload and prints the figures as name=value
// lines. Usage: extract_bench.exe PAYLOAD NATIVE_SECONDS
//        extract_bench.exe PAYLOAD --big    one extraction of a large payload: big_extract_s and
//                                           big_peak_private_mb only
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "app/unique_resource.h"
#include "bench/bench_figures.h"
#include "engine/install_engine.h"
#include "engine/payload_reader.h"

namespace {

constexpr int kRepeats = 3;

// The highest private memory seen while it runs. Under Wine the page-file figure is the process's
// touched anonymous memory and its "peak" is only the current value, so a thread samples it every few
// milliseconds; on Windows the system's own peak counts as well.
class PrivateMemoryPeak {
 public:
  PrivateMemoryPeak() : sampler_([this] {
    while (!stop_.load()) {
      Sample();
      ::Sleep(2);
    }
  }) {}
  ~PrivateMemoryPeak() { Stop(); }

  double StopAndGetMegabytes() {
    Stop();
    Sample();
    PROCESS_MEMORY_COUNTERS counters{};
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters));
    return std::max<double>(peak_.load(), counters.PeakPagefileUsage) / (1024.0 * 1024.0);
  }

 private:
  void Sample() {
    PROCESS_MEMORY_COUNTERS counters{};
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters));
    if (counters.PagefileUsage > peak_.load()) peak_.store(counters.PagefileUsage);
  }
  void Stop() {
    stop_.store(true);
    if (sampler_.joinable()) sampler_.join();
  }

  std::atomic<bool> stop_{false};
  std::atomic<size_t> peak_{0};
  std::thread sampler_;
};

struct ExtractionRun {
  double firstProgressSeconds = 0;  // when the total was known and the first message arrived
  double totalSeconds = 0;
  int messages = 0;
  bool ok = false;
};

// Runs the extraction on a worker thread while this thread handles the progress messages, as the
// installer's window does.
ExtractionRun ExtractLikeTheInstaller(const void* data, uint32_t size, const std::filesystem::path& target) {
  ExtractionRun run;
  const auto start = std::chrono::steady_clock::now();
  const auto since = [&start] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  HWND window = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  const InstallEngine engine{window, target.wstring()};
  std::thread worker([&] {
    const bool result = engine.ExtractPayload(data, size, target);
    ::PostMessageW(window, result ? WM_INSTALL_SUCCEEDED : WM_INSTALL_FAILED, 0, 0);
  });
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_INSTALL_PROGRESS) {
      delete reinterpret_cast<std::wstring*>(message.lParam);
      if (run.messages++ == 0) run.firstProgressSeconds = since();
    } else if (message.message == WM_INSTALL_SUCCEEDED || message.message == WM_INSTALL_FAILED) {
      run.ok = message.message == WM_INSTALL_SUCCEEDED;
      break;
    }
  }
  run.totalSeconds = since();
  worker.join();
  ::DestroyWindow(window);
  return run;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: extract_bench.exe PAYLOAD NATIVE_SECONDS|--big\n");
    return 2;
  }
  const bool big = std::wstring(argv[2]) == L"--big";
  const double nativeSeconds = big ? 0 : std::wcstod(argv[2], nullptr);
  // The installer reads the payload from its mapped image; a mapped file behaves the same way.
  UniqueFileHandle file(::CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return 1;
  const DWORD size = ::GetFileSize(file.Get(), nullptr);
  UniqueHandle mapping(::CreateFileMappingW(file.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  const void* data = mapping ? ::MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0) : nullptr;
  if (!data) return 1;

  // Also brings the mapped payload into memory (the library's zstd reader skips the index frame).
  const EntryCount entries = big ? EntryCount{} : CountPayloadEntries(data, size);

  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  const std::filesystem::path target = std::filesystem::path(temp) / L"quillon-bench_tmp_installing";
  std::vector<double> counting;
  std::vector<double> extracting;
  int messages = 0;
  PrivateMemoryPeak privatePeak;
  for (int i = 0; i < (big ? 1 : kRepeats); ++i) {
    std::error_code ignored;
    std::filesystem::remove_all(target, ignored);
    std::filesystem::create_directories(target, ignored);
    const ExtractionRun run = ExtractLikeTheInstaller(data, size, target);
    counting.push_back(run.firstProgressSeconds);
    extracting.push_back(run.totalSeconds);
    messages = run.messages;
    if (!run.ok) {
      std::fprintf(stderr, "error: extraction failed\n");
      return 1;
    }
  }
  std::error_code ignored;
  std::filesystem::remove_all(target, ignored);

  // Peak private memory: the process's own allocations (the mapped payload is not private).
  const double peakPrivateMb = privatePeak.StopAndGetMegabytes();
  PROCESS_MEMORY_COUNTERS memory{};
  ::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof(memory));
  if (big) {
    std::printf("big payload: %lu bytes, %d progress messages\n", static_cast<unsigned long>(size), messages);
    std::printf("big_extract_s=%.3f\n", extracting.front());
    std::printf("big_peak_private_mb=%.1f\n", peakPrivateMb);
    return 0;
  }
  const double countSeconds = bench::Median(counting);
  const double extractSeconds = bench::Median(extracting);
  std::printf("payload: %lu bytes, %d entries, %d progress messages (median of %d runs)\n",
              static_cast<unsigned long>(size), entries.entries, messages, kRepeats);
  std::printf("count_s: until the total is known (first progress message); extract_s: the whole\n"
              "ExtractPayload, counting included, every progress message delivered to a window:\n");
  std::printf("native_s=%.3f\n", nativeSeconds);
  std::printf("count_s=%.3f\n", countSeconds);
  std::printf("extract_s=%.3f\n", extractSeconds);
  std::printf("extract_vs_native_ratio=%.2f\n", extractSeconds / nativeSeconds);
  std::printf("peak_working_set_mb=%.1f\n", memory.PeakWorkingSetSize / (1024.0 * 1024.0));
  std::printf("peak_private_mb=%.1f\n", peakPrivateMb);
  return 0;
}
