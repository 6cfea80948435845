// The 27 built-in variables: the system's name and version, the clock and the operating system's version.
#pragma once

#include <cstdint>
#include <ctime>

namespace morvane {

// One reading of the local clock, field for field the platform's SYSTEMTIME.
struct ClockReading {
  uint16_t wYear = 0;
  uint16_t wMonth = 0;
  uint16_t wDayOfWeek = 0;  // 0 = Sunday
  uint16_t wDay = 0;
  uint16_t wHour = 0;
  uint16_t wMinute = 0;
  uint16_t wSecond = 0;
  uint16_t wMilliseconds = 0;
};

// One reading of the operating system's version, the fields of the platform's OSVERSIONINFOA that are used.
struct VersionReading {
  uint32_t dwMajorVersion = 0;
  uint32_t dwMinorVersion = 0;
  uint32_t dwBuildNumber = 0;
  uint32_t dwPlatformId = 0;
  char szCSDVersion[128] = {};
};

inline constexpr int kBuiltinCount = 27;

// Defines the 27 variables in entries order from the given readings, through TagTable::Define on gTagTable.
// Out of memory propagates as std::bad_alloc.
void DefineBuiltinsFrom(const ClockReading& clock, const VersionReading& version);

// The same into a table that TagTable::ClearAll has just emptied: entries 0 to 26, without a lookup each.
void DefineBuiltinsIntoClearedTable(const ClockReading& clock, const VersionReading& version);

// Reads the clock and the version once and defines the variables.
void DefineBuiltins();

// One reading of both, for runs that must all show the same date and time.
struct BuiltinReadings {
  ClockReading clock;
  VersionReading version;
};
BuiltinReadings ReadBuiltinReadings();

// Fills a clock reading from a broken-down local time. 0 when its year does not fit the 16-bit field.
int ClockFromLocalTime(const std::tm& local, uint16_t milliseconds, ClockReading* clock);

// Parses SOURCE_DATE_EPOCH's value: 1 and *seconds for a plain decimal number, else 0.
int ParseSourceDateEpoch(const char* text, int64_t* seconds);

// What a SOURCE_DATE_EPOCH value (nullptr when unset) does to the clock reading.
enum class EpochValue : uint8_t {
  kUnset,      // unset or empty: the real clock is read
  kUsable,     // a plain decimal number whose local time the clock reading can hold
  kMalformed,  // anything but plain decimal digits
  kOutOfRange  // digits, but an instant whose local time does not fit the clock reading
};
EpochValue ClassifySourceDateEpoch(const char* text);

}  // namespace morvane
