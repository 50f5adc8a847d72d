// Usage events as the telemetry service receives them. This program's telemetry library reports to
// "localhost", where https_test_server.py answers.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "app/system_info.h"
#include "app/text_encoding.h"
#include "app/unique_resource.h"
#include "telemetry/async_https_client.h"
#include "tests/support/captured_log.h"
#include "tests/support/machine_guid_override.h"
#include "tests/telemetry/test_server.h"

namespace {

using namespace std::chrono_literals;

// The event's time as the body carries it; -1 when it carries none.
long long EventTime(const std::string& body) {
  const std::string key = "\"event_time\":";
  const size_t at = body.find(key);
  return at == std::string::npos ? -1 : std::stoll(body.substr(at + key.size()));
}

long long UnixNowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

class SendLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test_server::Reset("200");
    ASSERT_TRUE(WaitForContextsFreed(1s)) << "a previous test left a request behind";
  }

  // Sends one event and waits until the server has answered it and the client has let go of it.
  RecordedRequest SendAndReceive(AsyncHttpsClient& client, const std::string& type, const std::string& name) {
    EXPECT_TRUE(client.SendLog(type, name));
    EXPECT_TRUE(WaitUntil([this] { return !log_.Find(spdlog::level::info, "Success: ok").empty(); }, 15s));
    EXPECT_TRUE(WaitForContextsFreed(2s));
    const std::vector<RecordedRequest> requests = test_server::Requests();
    EXPECT_EQ(requests.size(), 1u);
    return requests.empty() ? RecordedRequest{} : requests.back();
  }

  CapturedLog log_;
};

TEST_F(SendLogTest, OneEventIsOnePostWithTheSortedBodyAndTheFixedHeaders) {
  AsyncHttpsClient client;
  const long long before = UnixNowMs();
  const RecordedRequest request = SendAndReceive(client, "click", "install_click");
  const long long after = UnixNowMs();

  // Compact, the keys sorted, one clock reading for both times.
  const long long time = EventTime(request.body);
  EXPECT_EQ(request.body, "{\"data\":{\"app_version\":\"" + WideToUtf8(QUILLON_VERSION_TEXT) + "\",\"device_id\":\"" +
                              WideToUtf8(GetMachineGuid()) +
                              "\",\"event_name\":\"install_click\",\"event_time\":" + std::to_string(time) +
                              ",\"event_type\":\"click\",\"local_time\":" + std::to_string(time) + ",\"os\":\"pc\"}}");
  EXPECT_GE(time, before);
  EXPECT_LE(time, after);
  // The log shows the very text that was sent, then the server's answer.
  EXPECT_EQ(log_.Texts(), (std::vector<std::string>{"SendLog  " + request.body + " ", "Success: ok"}));

  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.path, "/zivuzer/v1/data-report");
  EXPECT_EQ(request.Header("Host"), "localhost");
  EXPECT_EQ(request.Header("Content-Type"), "application/json");
  EXPECT_EQ(request.Header("Cache-Control"), "no-cache");
  EXPECT_EQ(request.Header("User-Agent"), "WinHTTP_Singleton/1.0");
  EXPECT_EQ(request.Header("Content-Length"), std::to_string(request.body.size()));
  EXPECT_EQ(request.HeaderCount("x-qln"), 1u);
  EXPECT_EQ(request.Header("x-qln"),
            "os=2&ver=" + WideToUtf8(QUILLON_VERSION_TEXT) + "&dvc=" + WideToUtf8(GetMachineGuid()) + "&ch=default");
}

// A missing MachineGuid is sent as thirty-two zeros. One that is not UTF-8 once converted (in the Western ANSI
// code page "é" is the single byte 0xE9, which no UTF-8 text may hold alone) is repaired, not dropped.
TEST_F(SendLogTest, DeviceIdWithoutMachineGuidOrNotUtf8IsRepairedAndSent) {
  const std::pair<std::optional<std::wstring>, std::string> cases[] = {
      {std::nullopt, "00000000000000000000000000000000"}, {L"caf\u00e9-4f1e", "caf\xef\xbf\xbd-4f1e"}};
  for (const auto& [value, expected] : cases) {
    SCOPED_TRACE(expected);
    test_server::Reset("200");
    log_.Clear();
    MachineGuidOverride guid;
    ASSERT_TRUE(guid.Ready());
    value ? guid.Set(*value) : guid.Remove();
    if (value) {
      ASSERT_EQ(WideToAnsi(GetMachineGuid()), "caf\xe9-4f1e") << "the prefix must use a Western code page";
    }
    AsyncHttpsClient client;  // reads the device id for the header when it is made
    const RecordedRequest request = SendAndReceive(client, "click", "install_close_click");
    EXPECT_NE(request.body.find(",\"device_id\":\"" + expected + "\","), std::string::npos) << request.body;
    if (!value) {  // the header carries the id as WinHTTP encodes it, checked for the plain one only
      EXPECT_EQ(request.Header("x-qln"),
                "os=2&ver=" + WideToUtf8(QUILLON_VERSION_TEXT) + "&dvc=" + expected + "&ch=default");
    }
    EXPECT_EQ(log_.Texts().front(), "SendLog  " + request.body + " ");
  }
}

}  // namespace
