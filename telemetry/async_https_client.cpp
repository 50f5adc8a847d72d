#include "telemetry/async_https_client.h"

#include <spdlog/spdlog.h>

#include <memory>
#include <utility>

#include "app/system_info.h"

namespace {

constexpr wchar_t kUserAgent[] = L"WinHTTP_Singleton/1.0";

}  // namespace

RequestContextCounters& GetRequestContextCounters() noexcept {
  static RequestContextCounters counters;
  return counters;
}

RequestContext::RequestContext() noexcept { GetRequestContextCounters().created.fetch_add(1); }

RequestContext::~RequestContext() {
  // The request handle goes before the connection it was opened on.
  request.Reset();
  connection.Reset();
  GetRequestContextCounters().destroyed.fetch_add(1);
}

AsyncHttpsClient& AsyncHttpsClient::GetInstance() {
  static AsyncHttpsClient instance;
  return instance;
}

AsyncHttpsClient::AsyncHttpsClient()
    : session_(::WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                             WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC)),
      allDoneEvent_(::CreateEventW(nullptr, /*bManualReset=*/TRUE, /*bInitialState=*/TRUE, nullptr)) {
  if (session_) {
    if (!::WinHttpSetTimeouts(session_.Get(), kTimeoutMs, kTimeoutMs, kTimeoutMs, kTimeoutMs)) {
      spdlog::warn("设置 WinHTTP 超时失败，错误码: {}", ::GetLastError());
    }
    // Connection and request handles inherit the callback from the session.
    ::WinHttpSetStatusCallback(session_.Get(), &AsyncHttpsClient::OnStatus, WINHTTP_CALLBACK_FLAG_ALL_NOTIFICATIONS, 0);
  }
  productVersion_ = GetProductVersion();
  deviceId_ = GetMachineGuid();
}

AsyncHttpsClient::~AsyncHttpsClient() {
  Shutdown();
  // A request that outlived the wait still signals the event when it ends; closing the handle under it
  // could let that signal hit whatever object reuses the handle value. The process is exiting in that
  // case, so the handle is left to the system (the lock beside it needs no teardown).
  if (PendingRequests() > 0) (void)allDoneEvent_.Release();
}

void AsyncHttpsClient::BeginRequest() noexcept {
  const std::lock_guard<std::mutex> lock(pendingMutex_);
  if (++pendingRequests_ == 1) ::ResetEvent(allDoneEvent_.Get());
}

void AsyncHttpsClient::FinishRequest(RequestContext* context) noexcept {
  {
    const std::lock_guard<std::mutex> lock(pendingMutex_);
    if (--pendingRequests_ == 0) ::SetEvent(allDoneEvent_.Get());
  }
  delete context;
}

LONG AsyncHttpsClient::PendingRequests() noexcept {
  const std::lock_guard<std::mutex> lock(pendingMutex_);
  return pendingRequests_;
}

bool AsyncHttpsClient::SendRequest(const std::wstring& host, const std::wstring& path, const nlohmann::json& body,
                                   HttpSuccessCallback onSuccess, HttpErrorCallback onError) {
  BeginRequest();
  auto context = std::make_unique<RequestContext>();
  context->onSuccess = std::move(onSuccess);
  context->onError = std::move(onError);
  context->owner = this;
  // Bytes that are not UTF-8 become U+FFFD instead of an exception: the document still goes out.
  context->requestBody = body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);

  context->connection.Reset(::WinHttpConnect(session_.Get(), host.c_str(), kPort, 0));
  if (!context->connection) {
    FinishRequest(context.release());
    return false;
  }
  context->request.Reset(::WinHttpOpenRequest(context->connection.Get(), L"POST", path.c_str(), nullptr,
                                              WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE));
  if (!context->request) {
    FinishRequest(context.release());
    return false;
  }

  const std::wstring headers = L"Content-Type: application/json\r\nCache-Control: no-cache\r\nx-qln: os=2&ver=" +
                               productVersion_ + L"&dvc=" + deviceId_ + L"&ch=default\r\n";
  ::WinHttpAddRequestHeaders(context->request.Get(), headers.c_str(), static_cast<DWORD>(-1), WINHTTP_ADDREQ_FLAG_ADD);

  // The callback may run, and even free the context, before WinHttpSendRequest returns: everything it
  // needs is read before the call, and the context is not touched after a successful one.
  RequestContext* owned = context.release();
  const DWORD length = static_cast<DWORD>(owned->requestBody.size());
  if (!::WinHttpSendRequest(owned->request.Get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, owned->requestBody.data(), length,
                            length, reinterpret_cast<DWORD_PTR>(owned))) {
    FinishRequest(owned);
    return false;
  }
  return true;
}

void CALLBACK AsyncHttpsClient::OnStatus(HINTERNET handle, DWORD_PTR contextValue, DWORD status, LPVOID info,
                                         DWORD infoLength) {
  auto* context = reinterpret_cast<RequestContext*>(contextValue);
  if (context == nullptr) return;
  switch (status) {
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
      // A refused follow-up call would leave the request with nobody to end it; it ends here instead.
      if (!::WinHttpReceiveResponse(context->request.Get(), nullptr)) context->owner->FinishRequest(context);
      break;
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
      if (!::WinHttpReadData(context->request.Get(), context->readBuffer, RequestContext::kReadBufferSize, nullptr)) {
        context->owner->FinishRequest(context);
      }
      break;
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
      if (infoLength > 0) {
        context->responseBody.append(context->readBuffer, infoLength);
        if (!::WinHttpReadData(context->request.Get(), context->readBuffer, RequestContext::kReadBufferSize, nullptr)) {
          context->owner->FinishRequest(context);
        }
      } else {
        if (context->onSuccess) context->onSuccess(context->responseBody);
        context->owner->FinishRequest(context);
      }
      break;
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR: {
      const auto* result = static_cast<const WINHTTP_ASYNC_RESULT*>(info);
      if (context->onError) context->onError(result->dwError);
      context->owner->FinishRequest(context);
      break;
    }
    default:
      // Everything else, including the closing notifications of handles whose context is already freed.
      break;
  }
}

void AsyncHttpsClient::Shutdown() {
  // One budget for every call: the destructor's call at process exit only waits for what is left of it.
  const ULONGLONG now = ::GetTickCount64();
  if (shutdownDeadline_ == 0) shutdownDeadline_ = now + kShutdownWaitMs;
  const DWORD remainingMs = shutdownDeadline_ > now ? static_cast<DWORD>(shutdownDeadline_ - now) : 0;
  const LONG pending = PendingRequests();
  if (pending > 0 && remainingMs > 0) {
    spdlog::info("正在关闭网络模块，等待 {} 个请求完成...", pending);
    if (::WaitForSingleObject(allDoneEvent_.Get(), remainingMs) == WAIT_TIMEOUT) {
      spdlog::warn("部分异步请求超时未返回，强制关闭句柄。");
    } else {
      spdlog::info("所有请求已完成");
    }
  }
  session_.Reset();
}
