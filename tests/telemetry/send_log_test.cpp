// Usage events as the telemetry service receives them. This program's telemetry library reports to
// "localhost", where https_test_server.py answers.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <regex>
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

// One event's body, taken apart by the layout every body must have.
struct ParsedBody {
  bool matches = false;
  std::string appVersion, deviceId, eventName, eventType;
  long long eventTime = 0, localTime = 0;
};

ParsedBody ParseBody(const std::string& body) {
  static const std::regex layout(
      R"re(\{"data":\{"app_version":"([^"]*)","device_id":"([^"]*)","event_name":"([^"]*)",)re"
      R"re("event_time":(-?\d+),"event_type":"([^"]*)","local_time":(-?\d+),"os":"pc"\}\})re");
  std::smatch match;
  ParsedBody parsed;
  if (!std::regex_match(body, match, layout)) return parsed;
  parsed.matches = true;
  parsed.appVersion = match[1];
  parsed.deviceId = match[2];
  parsed.eventName = match[3];
  parsed.eventTime = std::stoll(match[4]);
  parsed.eventType = match[5];
  parsed.localTime = std::stoll(match[6]);
  return parsed;
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
    EXPECT_TRUE(WaitForLogLine("Success: ok"));
    EXPECT_TRUE(WaitForContextsFreed(2s));
    const std::vector<RecordedRequest> requests = test_server::Requests();
    EXPECT_EQ(requests.size(), 1u);
    return requests.empty() ? RecordedRequest{} : requests.back();
  }

  bool WaitForLogLine(const std::string& text) {
    const auto deadline = std::chrono::steady_clock::now() + 15s;
    while (std::chrono::steady_clock::now() < deadline) {
      for (const std::string& line : log_.Texts()) {
        if (line == text) return true;
      }
      std::this_thread::sleep_for(10ms);
    }
    return false;
  }

  CapturedLog log_;
};

TEST_F(SendLogTest, BodyHasTheSortedLayoutWithOneClockReading) {
  AsyncHttpsClient client;
  const long long before = UnixNowMs();
  const RecordedRequest request = SendAndReceive(client, "click", "install_click");
  const long long after = UnixNowMs();

  const ParsedBody body = ParseBody(request.body);
  ASSERT_TRUE(body.matches) << request.body;
  EXPECT_EQ(body.appVersion, WideToUtf8(QUILLON_VERSION_TEXT));
  EXPECT_EQ(body.deviceId, WideToUtf8(GetMachineGuid()));
  EXPECT_EQ(body.eventType, "click");
  EXPECT_EQ(body.eventName, "install_click");
  EXPECT_EQ(body.localTime, body.eventTime);
  EXPECT_GE(body.eventTime, before);
  EXPECT_LE(body.eventTime, after);

  // The log shows the very text that was sent, then the server's answer.
  const std::vector<std::string> lines = log_.Texts();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "SendLog  " + request.body + " ");
  EXPECT_EQ(lines[1], "Success: ok");
}

TEST_F(SendLogTest, RequestCarriesTheFixedPathAndHeaders) {
  AsyncHttpsClient client;
  const RecordedRequest request = SendAndReceive(client, "pv", "install_start");
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

TEST_F(SendLogTest, MissingMachineGuidSendsThirtyTwoZeros) {
  MachineGuidOverride guid;
  ASSERT_TRUE(guid.Ready());
  guid.Remove();
  AsyncHttpsClient client;  // reads the device id for the header when it is made
  const RecordedRequest request = SendAndReceive(client, "click", "install_complete");
  const ParsedBody body = ParseBody(request.body);
  ASSERT_TRUE(body.matches) << request.body;
  EXPECT_EQ(body.deviceId, "00000000000000000000000000000000");
  EXPECT_EQ(request.Header("x-qln"),
            "os=2&ver=" + WideToUtf8(QUILLON_VERSION_TEXT) + "&dvc=00000000000000000000000000000000&ch=default");
}

TEST_F(SendLogTest, DeviceIdThatIsNotUtf8AfterConversionIsRepairedAndSent) {
  MachineGuidOverride guid;
  ASSERT_TRUE(guid.Ready());
  // In the Western ANSI code page "é" is the single byte 0xE9, which no UTF-8 text may hold alone.
  guid.Set(L"caf\u00e9-4f1e");
  ASSERT_EQ(WideToAnsi(GetMachineGuid()), "caf\xe9-4f1e") << "the prefix must use a Western ANSI code page";
  AsyncHttpsClient client;
  const RecordedRequest request = SendAndReceive(client, "click", "install_close_click");

  const ParsedBody body = ParseBody(request.body);
  ASSERT_TRUE(body.matches) << request.body;
  EXPECT_EQ(body.deviceId, "caf\xef\xbf\xbd-4f1e");  // U+FFFD in place of the stray byte
  EXPECT_EQ(body.eventName, "install_close_click");
  EXPECT_EQ(log_.Texts().front(), "SendLog  " + request.body + " ");
}

}  // namespace
