// Clock and version readings on POSIX: local time from clock_gettime and localtime_r, the version from uname.
#include <sys/utsname.h>

#include <cstdlib>
#include <ctime>

#include "engine/builtins.h"
#include "engine/builtins_platform.h"

namespace morvane {

namespace {

// Fills the reading from seconds since 1970 in local time (TZ honoured). 0 when the instant has no local
// time that fits the 16-bit fields.
int FillFromSeconds(int64_t seconds, uint16_t milliseconds, ClockReading* clock) {
  const time_t instant = static_cast<time_t>(seconds);
  if (static_cast<int64_t>(instant) != seconds) return 0;
  tm local{};
  if (localtime_r(&instant, &local) == nullptr) return 0;
  return ClockFromLocalTime(local, milliseconds, clock);
}

// Reads one decimal number at *p, saturating at the 32-bit maximum; 0 when no digit stands there.
int ReadDecimal(const char*& p, uint32_t* value) {
  if (*p < '0' || *p > '9') return 0;
  uint64_t result = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    result = result * 10 + static_cast<uint64_t>(*p - '0');
    if (result > 0xFFFFFFFFu) result = 0xFFFFFFFFu;
  }
  *value = static_cast<uint32_t>(result);
  return 1;
}

}  // namespace

int ClockFromEpochSeconds(int64_t seconds, ClockReading* clock) {
  tzset();
  return FillFromSeconds(seconds, 0, clock);
}

void ReadClock(ClockReading* clock) {
  *clock = ClockReading{};
  tzset();
  int64_t epoch = 0;
  if (ParseSourceDateEpoch(std::getenv("SOURCE_DATE_EPOCH"), &epoch) && ClockFromEpochSeconds(epoch, clock))
    return;
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  FillFromSeconds(static_cast<int64_t>(now.tv_sec), static_cast<uint16_t>(now.tv_nsec / 1000000), clock);
}

void ReadVersion(VersionReading* version) {
  *version = VersionReading{};
  utsname name{};
  if (uname(&name) != 0) return;
  // The kernel release's first three numbers, "6.1.0-18-amd64" giving 6, 1 and 0; missing ones stay 0.
  uint32_t* fields[3] = {&version->dwMajorVersion, &version->dwMinorVersion, &version->dwBuildNumber};
  const char* p = name.release;
  for (int i = 0; i < 3; ++i) {
    if (!ReadDecimal(p, fields[i])) break;
    if (*p != '.') break;
    ++p;
  }
}

}  // namespace morvane
