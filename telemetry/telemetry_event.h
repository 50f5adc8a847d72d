// Usage events: the JSON document that carries one event and the host that receives it.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>

inline constexpr wchar_t kTelemetryPath[] = L"/zivuzer/v1/data-report";

// The build's telemetry host (the build setting QUILLON_TELEMETRY_HOST).
const wchar_t* TelemetryHost() noexcept;

// Milliseconds since 1970-01-01 00:00:00 UTC, from the most precise system clock.
std::int64_t CurrentUnixTimeMs() noexcept;

// {"data":{...}} with the seven event fields. The library's object type keeps its keys sorted, so the
// serialised layout does not depend on the order the fields are set in.
nlohmann::json BuildTelemetryEvent(std::int64_t nowMs, const std::string& appVersion, const std::string& deviceId,
                                   const std::string& eventType, const std::string& eventName);
