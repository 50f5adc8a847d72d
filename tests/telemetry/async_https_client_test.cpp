// The client against a real HTTPS server on 127.0.0.1:443 (https_test_server.py) whose certificate comes
// from an authority trusted only in the test prefix: certificate checks stay as strict as in the field.
#include "telemetry/async_https_client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "tests/support/captured_log.h"
#include "tests/telemetry/test_server.h"

namespace {

using namespace std::chrono_literals;

constexpr wchar_t kProbePath[] = L"/probe/echo";
// Long enough for a TLS handshake under a loaded Wine, shorter than any test time-out.
constexpr auto kAnswerWait = 15s;

class AsyncHttpsClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test_server::Reset("200");
    ASSERT_TRUE(WaitForContextsFreed(1s)) << "a previous test left a request behind";
  }

  bool Send(AsyncHttpsClient& client, const nlohmann::json& body = {{"probe", 1}}) {
    return client.SendRequest(test_server::kHost, kProbePath, body, recorder_.OnSuccess(), recorder_.OnError());
  }

  CallbackRecorder recorder_;
};

// The compact body goes to the path; the answer reaches OnSuccess whatever its status and size.
TEST_F(AsyncHttpsClientTest, PostsTheCompactBodyAndPassesOnEveryAnswer) {
  const std::pair<const char*, std::string> cases[] = {
      {"200", "ok"},
      {"500", "server failed"},          // the status code is never looked at
      {"empty", ""},                     // no body: an empty text, still a success
      {"long", test_server::LongBody()}  // three reads of at most 8192 bytes, joined in order
  };
  for (const auto& [mode, expected] : cases) {
    SCOPED_TRACE(mode);
    test_server::Reset(mode);
    CallbackRecorder recorder;
    AsyncHttpsClient client;
    ASSERT_TRUE(client.SendRequest(test_server::kHost, kProbePath, {{"b", "\xe4\xb8\xad"}, {"a", 1}},
                                   recorder.OnSuccess(), recorder.OnError()));
    ASSERT_TRUE(recorder.WaitForCalls(1, kAnswerWait));
    EXPECT_EQ(recorder.Successes(), std::vector<std::string>{expected});
    EXPECT_TRUE(recorder.Errors().empty());
    EXPECT_TRUE(WaitForContextsFreed(2s));
    const std::vector<RecordedRequest> requests = test_server::Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].path, "/probe/echo");
    EXPECT_EQ(requests[0].body, "{\"a\":1,\"b\":\"\xe4\xb8\xad\"}");
  }
}

// A refused connection, and the same server reached by its address, which its certificate does not name
// ("localhost" only), end in OnError and leave nothing pending: shutting down has nothing to wait for and
// nothing to say. Windows names a name mismatch itself; Wine reports it as a failed secure channel.
TEST_F(AsyncHttpsClientTest, RefusedConnectionOrCertificateEndsInOnErrorAndLeavesNothingPending) {
  const std::pair<const wchar_t*, std::vector<DWORD>> cases[] = {
      {test_server::kRefusingHost, {ERROR_WINHTTP_CANNOT_CONNECT}},
      {L"127.0.0.1",
       {ERROR_WINHTTP_SECURE_CERT_CN_INVALID, ERROR_WINHTTP_SECURE_FAILURE, ERROR_WINHTTP_SECURE_CHANNEL_ERROR}}};
  for (const auto& [host, acceptedErrors] : cases) {
    CapturedLog log;
    CallbackRecorder recorder;
    AsyncHttpsClient client;
    ASSERT_TRUE(client.SendRequest(host, kProbePath, {{"probe", 1}}, recorder.OnSuccess(), recorder.OnError()));
    ASSERT_TRUE(recorder.WaitForCalls(1, kAnswerWait));
    ASSERT_EQ(recorder.Errors().size(), 1u);
    const DWORD error = recorder.Errors()[0];
    EXPECT_NE(std::find(acceptedErrors.begin(), acceptedErrors.end(), error), acceptedErrors.end()) << error;
    EXPECT_TRUE(recorder.Successes().empty());
    ASSERT_TRUE(WaitForContextsFreed(2s));
    client.Shutdown();
    EXPECT_TRUE(log.Lines().empty());
  }
  EXPECT_TRUE(test_server::Requests().empty());
}

TEST_F(AsyncHttpsClientTest, ShutdownWithNothingPendingLogsNothingAndRefusesLaterRequests) {
  CapturedLog log;
  AsyncHttpsClient client;
  ASSERT_TRUE(Send(client));
  ASSERT_TRUE(recorder_.WaitForCalls(1, kAnswerWait));
  ASSERT_TRUE(WaitForContextsFreed(2s));

  client.Shutdown();
  client.Shutdown();  // the second call finds the session closed already
  EXPECT_TRUE(log.Lines().empty());

  const long createdBefore = GetRequestContextCounters().created.load();
  EXPECT_FALSE(Send(client));
  EXPECT_EQ(GetRequestContextCounters().created.load(), createdBefore + 1);
  EXPECT_EQ(LiveRequestContexts(), 0);  // freed on the spot
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(recorder_.Successes().size() + recorder_.Errors().size(), 1u);
  EXPECT_EQ(test_server::Requests().size(), 1u);
}

TEST_F(AsyncHttpsClientTest, ShutdownWaitsForARequestThatEndsInTime) {
  test_server::Reset("never");
  CapturedLog log;
  AsyncHttpsClient client;
  ASSERT_TRUE(Send(client));
  ASSERT_TRUE(WaitUntil([] { return !test_server::Requests().empty(); }, kAnswerWait));
  // Let the answer go once Shutdown is waiting (its first line is logged); the held answer then ends with an
  // empty body.
  std::thread release([&log] {
    WaitUntil([&log] { return !log.Lines().empty(); }, 15s);
    test_server::SetMode("200");
  });
  client.Shutdown();
  release.join();
  EXPECT_EQ(recorder_.Successes(), std::vector<std::string>{""});
  EXPECT_EQ(log.Lines(), (std::vector<LogLine>{{spdlog::level::info, "正在关闭网络模块，等待 1 个请求完成..."},
                                               {spdlog::level::info, "所有请求已完成"}}));
  EXPECT_TRUE(WaitForContextsFreed(2s));
}

TEST_F(AsyncHttpsClientTest, ShutdownGivesUpOnARequestThatNeverAnswers) {
  test_server::Reset("never");
  CapturedLog log;
  AsyncHttpsClient client;
  ASSERT_TRUE(Send(client));
  client.Shutdown();
  client.Shutdown();  // as the destructor does at process exit: the five seconds are spent already
  EXPECT_EQ(log.Lines(), (std::vector<LogLine>{{spdlog::level::info, "正在关闭网络模块，等待 1 个请求完成..."},
                                               {spdlog::level::warn, "部分异步请求超时未返回，强制关闭句柄。"}}));
  EXPECT_TRUE(recorder_.Successes().empty());
  EXPECT_TRUE(recorder_.Errors().empty());
  ASSERT_EQ(test_server::Requests().size(), 1u);

  // Only the session was closed: the request itself is still in flight and ends normally once the
  // server lets the answer go. The client must outlive it, since the request reports back to it.
  test_server::SetMode("200");
  ASSERT_TRUE(recorder_.WaitForCalls(1, kAnswerWait));
  EXPECT_TRUE(WaitForContextsFreed(2s));
}

TEST_F(AsyncHttpsClientTest, FiftyConcurrentRequestsFreeEveryContextOnce) {
  constexpr long kRequests = 50;
  CapturedLog log;
  AsyncHttpsClient client;
  const long createdBefore = GetRequestContextCounters().created.load();
  const long destroyedBefore = GetRequestContextCounters().destroyed.load();
  for (long i = 0; i < kRequests; ++i) ASSERT_TRUE(Send(client, {{"index", i}}));

  ASSERT_TRUE(recorder_.WaitForCalls(kRequests, 60s));
  EXPECT_EQ(recorder_.Successes(), std::vector<std::string>(kRequests, "ok"));
  ASSERT_TRUE(WaitForContextsFreed(5s));
  EXPECT_EQ(GetRequestContextCounters().created.load() - createdBefore, kRequests);
  EXPECT_EQ(GetRequestContextCounters().destroyed.load() - destroyedBefore, kRequests);
  EXPECT_EQ(test_server::Requests().size(), static_cast<size_t>(kRequests));
  client.Shutdown();
  EXPECT_TRUE(log.Lines().empty());
}

}  // namespace
