// The Windows side of the HTTPS test server (https_test_server.py): tells it how to answer and reads
// back what it received. Both go through files in the server's folder.
#pragma once

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "telemetry/async_https_client.h"

struct RecordedRequest {
  std::string method;
  std::string path;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;

  // The value of the first header with this name (names compare ignoring case); empty when absent.
  [[nodiscard]] std::string Header(const std::string& name) const;
  [[nodiscard]] size_t HeaderCount(const std::string& name) const;
};

namespace test_server {

// The host whose certificate the server presents; the telemetry library of the tests reports to it.
inline constexpr wchar_t kHost[] = L"localhost";
// A loopback address where nothing listens.
inline constexpr wchar_t kRefusingHost[] = L"127.0.0.2";
inline constexpr size_t kLongBodySize = 24000;

// "200", "500", "empty", "long" or "never"; also forgets the requests received so far.
void Reset(const std::string& mode);
void SetMode(const std::string& mode);
std::vector<RecordedRequest> Requests();
// The body that the "long" mode answers with.
std::string LongBody();

}  // namespace test_server

// Collects what the client's callbacks report, from whichever WinHTTP thread they run on.
class CallbackRecorder {
 public:
  HttpSuccessCallback OnSuccess();
  HttpErrorCallback OnError();
  // Waits until callbacks have been called this many times in all.
  bool WaitForCalls(size_t count, std::chrono::milliseconds timeout);
  [[nodiscard]] std::vector<std::string> Successes();
  [[nodiscard]] std::vector<DWORD> Errors();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> successes_;
  std::vector<DWORD> errors_;
};

// Polls condition until it holds (true) or timeout has passed (false).
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);
// Request contexts made and not yet freed in this process.
long LiveRequestContexts();
// Waits until every request context is freed.
bool WaitForContextsFreed(std::chrono::milliseconds timeout);
