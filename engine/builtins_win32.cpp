// Clock and version readings on Windows: GetLocalTime and GetVersionExA; SOURCE_DATE_EPOCH in local time.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <ctime>

#include "engine/builtins.h"
#include "engine/builtins_platform.h"

namespace morvane {

int ClockFromEpochSeconds(int64_t seconds, ClockReading* clock) {
  __time64_t instant = static_cast<__time64_t>(seconds);
  tm local{};
  _tzset();
  if (_localtime64_s(&local, &instant) != 0) return 0;
  return ClockFromLocalTime(local, 0, clock);
}

void ReadClock(ClockReading* clock) {
  *clock = ClockReading{};
  int64_t epoch = 0;
  if (ParseSourceDateEpoch(std::getenv("SOURCE_DATE_EPOCH"), &epoch) && ClockFromEpochSeconds(epoch, clock))
    return;
  SYSTEMTIME now;
  GetLocalTime(&now);
  clock->wYear = now.wYear;
  clock->wMonth = now.wMonth;
  clock->wDayOfWeek = now.wDayOfWeek;
  clock->wDay = now.wDay;
  clock->wHour = now.wHour;
  clock->wMinute = now.wMinute;
  clock->wSecond = now.wSecond;
  clock->wMilliseconds = now.wMilliseconds;
}

void ReadVersion(VersionReading* version) {
  *version = VersionReading{};
  OSVERSIONINFOA info;
  std::memset(&info, 0, sizeof info);
  info.dwOSVersionInfoSize = 148;
  // The result is ignored: with the size set to 148 the query does not fail, and a failure leaves zeros.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
  GetVersionExA(&info);
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
  version->dwMajorVersion = info.dwMajorVersion;
  version->dwMinorVersion = info.dwMinorVersion;
  version->dwBuildNumber = info.dwBuildNumber;
  version->dwPlatformId = info.dwPlatformId;
  std::memcpy(version->szCSDVersion, info.szCSDVersion, sizeof version->szCSDVersion);
  version->szCSDVersion[sizeof version->szCSDVersion - 1] = '\0';
}

}  // namespace morvane
