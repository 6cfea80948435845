// What only the platform halves of the built-ins implement (builtins_posix.cpp, builtins_win32.cpp).
#pragma once

#include <cstdint>

#include "engine/builtins.h"

namespace morvane {

// The local clock, or SOURCE_DATE_EPOCH's instant in local time when that holds a usable value.
void ReadClock(ClockReading* clock);
void ReadVersion(VersionReading* version);
// The local time of an instant given in seconds since 1970-01-01 UTC (TZ honoured), with 0 milliseconds.
// 0 when it has no local time that fits the reading's 16-bit fields.
int ClockFromEpochSeconds(int64_t seconds, ClockReading* clock);

}  // namespace morvane
