#include <windows.h>

#include <spdlog/spdlog.h>

#include "app/system_info.h"
#include "app/system_time.h"
#include "app/text_encoding.h"
#include "telemetry/async_https_client.h"
#include "telemetry/telemetry_event.h"

namespace {

// FILETIME counts 100-nanosecond units from 1601-01-01; this many of them lie before 1970-01-01.
constexpr std::int64_t kUnixEpochIn100ns = 116444736000000000LL;

}  // namespace

std::int64_t CurrentUnixTimeMs() noexcept {
  const FILETIME now = PreciseSystemTimeAsFileTime();
  const std::int64_t ticks =
      static_cast<std::int64_t>((static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
  return (ticks - kUnixEpochIn100ns) / 10000;
}

nlohmann::json BuildTelemetryEvent(std::int64_t nowMs, const std::string& appVersion, const std::string& deviceId,
                                   const std::string& eventType, const std::string& eventName) {
  nlohmann::json event;
  event["data"] = {{"os", "pc"},
                   {"local_time", nowMs},
                   {"event_time", nowMs},
                   {"app_version", appVersion},
                   {"event_type", eventType},
                   {"event_name", eventName},
                   {"device_id", deviceId}};
  return event;
}

bool AsyncHttpsClient::SendLog(const std::string& eventType, const std::string& eventName) {
  const std::int64_t nowMs = CurrentUnixTimeMs();
  const nlohmann::json event =
      BuildTelemetryEvent(nowMs, WideToAnsi(GetProductVersion()), WideToAnsi(GetMachineGuid()), eventType, eventName);
  // Text from the ANSI code page need not be UTF-8; its stray bytes are logged and sent as U+FFFD.
  spdlog::info("SendLog  {} ", event.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
  return SendRequest(
      TelemetryHost(), kTelemetryPath, event,
      [](const std::string& response) { spdlog::info("Success: {}", response); },
      [](DWORD errorCode) { spdlog::error("Error: {}", errorCode); });
}
