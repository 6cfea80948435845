// The built-in variables: portable formatting from one clock reading and one version reading.
#include "engine/builtins.h"

#include <cstdio>

#include "engine/builtins_platform.h"
#include "engine/tag_table.h"

namespace morvane {

namespace {

// How a variable gets into the table: TagTable::Define, or straight into the next entry of a table that was
// just cleared (no lookup: the 27 names are distinct).
class BuiltinDefiner {
 public:
  explicit BuiltinDefiner(bool cleared) : cleared_(cleared) {}
  void Define(const char* name, const char* bytes, uint32_t length) {
    if (!cleared_) {
      gTagTable.Define(name, bytes, length);
      return;
    }
    TagEntry* entry = &gTagTable.entries[next_++];
    TagTable::Create(entry, name);
    entry->SetData(bytes, length);
  }
  // Formats one number with a printf directive into the shared buffer and defines it.
  void DefineNumber(const char* name, const char* directive, unsigned value) {
    int written = std::snprintf(buffer_, sizeof buffer_, directive, value);
    if (written < 0) written = 0;
    if (written >= static_cast<int>(sizeof buffer_)) written = sizeof buffer_ - 1;
    Define(name, buffer_, static_cast<uint32_t>(written));
  }
  char* Buffer() { return buffer_; }

 private:
  bool cleared_;
  int next_ = 0;
  char buffer_[256];
};

void DefineAll(BuiltinDefiner& definer, const ClockReading& clock, const VersionReading& version) {
  definer.Define("_eof", "", 1);
  definer.Define("_crlf", "\r\n", 2);
  definer.Define("_systemname", "Morvane", 7);
  definer.Define("_systemversion", "1.0", 3);
  const unsigned hour = clock.wHour;
  const unsigned noonHour = (hour + 11) % 12 + 1;
  definer.DefineNumber("_year", "%u", clock.wYear);
  definer.DefineNumber("_month", "%u", clock.wMonth);
  definer.DefineNumber("_day", "%u", clock.wDay);
  definer.DefineNumber("_hour", "%u", hour);
  definer.DefineNumber("_minute", "%u", clock.wMinute);
  definer.DefineNumber("_second", "%u", clock.wSecond);
  definer.DefineNumber("_millisecond", "%u", clock.wMilliseconds);
  definer.DefineNumber("_dayofweek", "%u", clock.wDayOfWeek);
  definer.DefineNumber("_year2", "%02u", clock.wYear % 100u);
  definer.DefineNumber("_month2", "%02u", clock.wMonth);
  definer.DefineNumber("_day2", "%02u", clock.wDay);
  definer.DefineNumber("_hour2", "%02u", hour);
  definer.DefineNumber("_minute2", "%02u", clock.wMinute);
  definer.DefineNumber("_second2", "%02u", clock.wSecond);
  definer.DefineNumber("_millisecond2", "%03u", clock.wMilliseconds);
  definer.DefineNumber("_noon", "%u", hour / 12);
  definer.DefineNumber("_noonhour", "%u", noonHour);
  definer.DefineNumber("_noonhour2", "%02u", noonHour);
  definer.DefineNumber("_osmajorversion", "%u", version.dwMajorVersion);
  definer.DefineNumber("_osminorversion", "%u", version.dwMinorVersion);
  definer.DefineNumber("_osbuildnumber", "%u", version.dwBuildNumber);
  definer.DefineNumber("_osplatform", "%u", version.dwPlatformId);
  // The service-pack text is at most 127 bytes even when the record lacks its terminator.
  int written = std::snprintf(definer.Buffer(), 256, "%.127s", version.szCSDVersion);
  if (written < 0) written = 0;
  definer.Define("_osservicepack", definer.Buffer(), static_cast<uint32_t>(written));
}

}  // namespace

void DefineBuiltinsFrom(const ClockReading& clock, const VersionReading& version) {
  BuiltinDefiner definer(false);
  DefineAll(definer, clock, version);
}

void DefineBuiltinsIntoClearedTable(const ClockReading& clock, const VersionReading& version) {
  BuiltinDefiner definer(true);
  DefineAll(definer, clock, version);
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
