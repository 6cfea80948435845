// The built-in variables: portable formatting from one clock reading and one version reading.
#include "engine/builtins.h"

#include <cstdio>

#include "engine/builtins_platform.h"
#include "engine/tag_table.h"

namespace morvane {

namespace {

// Formats one number with a printf directive into the shared buffer and defines it.
void DefineNumber(char (&buffer)[256], const char* name, const char* directive, unsigned value) {
  int written = std::snprintf(buffer, sizeof buffer, directive, value);
  if (written < 0) written = 0;
  if (written >= static_cast<int>(sizeof buffer)) written = sizeof buffer - 1;
  gTagTable.Define(name, buffer, static_cast<uint32_t>(written));
}

}  // namespace

void DefineBuiltinsFrom(const ClockReading& clock, const VersionReading& version) {
  char buffer[256];
  gTagTable.Define("_eof", "", 1);
  gTagTable.Define("_crlf", "\r\n", 2);
  gTagTable.Define("_systemname", "Morvane", 7);
  gTagTable.Define("_systemversion", "1.0", 3);

  const unsigned hour = clock.wHour;
  const unsigned noonHour = (hour + 11) % 12 + 1;
  DefineNumber(buffer, "_year", "%u", clock.wYear);
  DefineNumber(buffer, "_month", "%u", clock.wMonth);
  DefineNumber(buffer, "_day", "%u", clock.wDay);
  DefineNumber(buffer, "_hour", "%u", hour);
  DefineNumber(buffer, "_minute", "%u", clock.wMinute);
  DefineNumber(buffer, "_second", "%u", clock.wSecond);
  DefineNumber(buffer, "_millisecond", "%u", clock.wMilliseconds);
  DefineNumber(buffer, "_dayofweek", "%u", clock.wDayOfWeek);
  DefineNumber(buffer, "_year2", "%02u", clock.wYear % 100u);
  DefineNumber(buffer, "_month2", "%02u", clock.wMonth);
  DefineNumber(buffer, "_day2", "%02u", clock.wDay);
  DefineNumber(buffer, "_hour2", "%02u", hour);
  DefineNumber(buffer, "_minute2", "%02u", clock.wMinute);
  DefineNumber(buffer, "_second2", "%02u", clock.wSecond);
  DefineNumber(buffer, "_millisecond2", "%03u", clock.wMilliseconds);
  DefineNumber(buffer, "_noon", "%u", hour / 12);
  DefineNumber(buffer, "_noonhour", "%u", noonHour);
  DefineNumber(buffer, "_noonhour2", "%02u", noonHour);
  DefineNumber(buffer, "_osmajorversion", "%u", version.dwMajorVersion);
  DefineNumber(buffer, "_osminorversion", "%u", version.dwMinorVersion);
  DefineNumber(buffer, "_osbuildnumber", "%u", version.dwBuildNumber);
  DefineNumber(buffer, "_osplatform", "%u", version.dwPlatformId);

  // The service-pack text is at most 127 bytes even when the record lacks its terminator.
  int written = std::snprintf(buffer, sizeof buffer, "%.127s", version.szCSDVersion);
  if (written < 0) written = 0;
  gTagTable.Define("_osservicepack", buffer, static_cast<uint32_t>(written));
}

void DefineBuiltins() {
  const BuiltinReadings readings = ReadBuiltinReadings();
  DefineBuiltinsFrom(readings.clock, readings.version);
}

BuiltinReadings ReadBuiltinReadings() {
  BuiltinReadings readings;
  ReadClock(&readings.clock);
  ReadVersion(&readings.version);
  return readings;
}

int ParseSourceDateEpoch(const char* text, int64_t* seconds) {
  if (text == nullptr || *text == '\0') return 0;
  int64_t value = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return 0;
    const int digit = *p - '0';
    if (value > (INT64_MAX - digit) / 10) return 0;
    value = value * 10 + digit;
  }
  *seconds = value;
  return 1;
}

EpochValue ClassifySourceDateEpoch(const char* text) {
  if (text == nullptr || *text == '\0') return EpochValue::kUnset;
  int64_t seconds = 0;
  if (!ParseSourceDateEpoch(text, &seconds)) {
    // Digits alone that overflow are a number too large for the clock, not a malformed one.
    for (const char* p = text; *p != '\0'; ++p) {
      if (*p < '0' || *p > '9') return EpochValue::kMalformed;
    }
    return EpochValue::kOutOfRange;
  }
  ClockReading clock;
  return ClockFromEpochSeconds(seconds, &clock) ? EpochValue::kUsable : EpochValue::kOutOfRange;
}

int ClockFromLocalTime(const std::tm& local, uint16_t milliseconds, ClockReading* clock) {
  const long long year = static_cast<long long>(local.tm_year) + 1900;
  if (year < 0 || year > 65535) return 0;
  clock->wYear = static_cast<uint16_t>(year);
  clock->wMonth = static_cast<uint16_t>(local.tm_mon + 1);
  clock->wDayOfWeek = static_cast<uint16_t>(local.tm_wday);
  clock->wDay = static_cast<uint16_t>(local.tm_mday);
  clock->wHour = static_cast<uint16_t>(local.tm_hour);
  clock->wMinute = static_cast<uint16_t>(local.tm_min);
  // A leap second reads as the 59th, as SYSTEMTIME has no 60.
  clock->wSecond = static_cast<uint16_t>(local.tm_sec > 59 ? 59 : local.tm_sec);
  clock->wMilliseconds = milliseconds;
  return 1;
}

}  // namespace morvane
