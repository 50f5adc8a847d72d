// Compiled once per telemetry library, each with its own QUILLON_TELEMETRY_HOST.
#include "telemetry/telemetry_event.h"

#ifndef QUILLON_TELEMETRY_HOST
#error "QUILLON_TELEMETRY_HOST must name the telemetry host"
#endif

const wchar_t* TelemetryHost() noexcept { return QUILLON_TELEMETRY_HOST; }
