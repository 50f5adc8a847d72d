// The process's single HTTPS client: posts small JSON documents to the telemetry service without ever
// blocking the caller. Completion runs on WinHTTP's own threads; the client counts the requests still in
// flight so that the process can wait for them, for a bounded time, before it exits.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <nlohmann/json.hpp>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>

#include "app/unique_resource.h"

class AsyncHttpsClient;

using HttpSuccessCallback = std::function<void(const std::string& responseBody)>;
using HttpErrorCallback = std::function<void(DWORD errorCode)>;

// One request in flight. SendRequest allocates it; from the moment WinHTTP accepts the send, the status
// callback owns it and frees it when the request ends.
struct RequestContext {
  static constexpr DWORD kReadBufferSize = 8192;

  RequestContext() noexcept;
  RequestContext(const RequestContext&) = delete;
  RequestContext& operator=(const RequestContext&) = delete;
  ~RequestContext();

  UniqueHinternet connection;
  UniqueHinternet request;
  std::string requestBody;  // WinHTTP sends straight from this buffer, so it lives as long as the request
  std::string responseBody;
  char readBuffer[kReadBufferSize] = {};
  HttpSuccessCallback onSuccess;
  HttpErrorCallback onError;
  AsyncHttpsClient* owner = nullptr;
};

// How many request contexts have been made and freed in this process. A context that is never freed, or
// freed twice, shows up as a difference between the two.
struct RequestContextCounters {
  std::atomic<long> created{0};
  std::atomic<long> destroyed{0};
};
RequestContextCounters& GetRequestContextCounters() noexcept;

class AsyncHttpsClient {
 public:
  static constexpr DWORD kTimeoutMs = 5000;
  static constexpr DWORD kShutdownWaitMs = 5000;
  static constexpr INTERNET_PORT kPort = INTERNET_DEFAULT_HTTPS_PORT;

  // The installer uses only the process-wide instance; tests build their own.
  static AsyncHttpsClient& GetInstance();

  AsyncHttpsClient();
  AsyncHttpsClient(const AsyncHttpsClient&) = delete;
  AsyncHttpsClient& operator=(const AsyncHttpsClient&) = delete;
  ~AsyncHttpsClient();

  // Starts an HTTPS POST of body to host:443/path. True: the request is on its way and exactly one of the
  // callbacks runs at most once, on a WinHTTP thread. False: nothing was sent and neither will run.
  [[nodiscard]] bool SendRequest(const std::wstring& host, const std::wstring& path, const nlohmann::json& body,
                                 HttpSuccessCallback onSuccess, HttpErrorCallback onError);

  // Reports one usage event to the telemetry host; the result says whether the request was started.
  bool SendLog(const std::string& eventType, const std::string& eventName);

  // Waits for the requests in flight, then closes the session; later requests fail. All calls together
  // wait at most five seconds, counted from the first: the window's close and the process exit share it.
  void Shutdown();

 private:
  static void CALLBACK OnStatus(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID info, DWORD infoLength);
  void BeginRequest() noexcept;
  void FinishRequest(RequestContext* context) noexcept;
  LONG PendingRequests() noexcept;

  UniqueHinternet session_;
  // The count and the event change together under this lock, so the event is signalled exactly when the
  // count is 0: a request starting on the caller's thread just as the last one ends on a WinHTTP thread
  // cannot find its reset overtaken by that thread's late signal.
  std::mutex pendingMutex_;
  LONG pendingRequests_ = 0;
  UniqueHandle allDoneEvent_;
  ULONGLONG shutdownDeadline_ = 0;  // GetTickCount64 value; 0 until the first Shutdown
  std::wstring productVersion_;
  std::wstring deviceId_;
};
