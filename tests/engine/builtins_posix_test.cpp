// The POSIX clock and version readings: SOURCE_DATE_EPOCH under TZ, and the kernel release.
#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/builtins.h"
#include "engine/builtins_platform.h"

namespace morvane {
namespace {

// The platform reading under SOURCE_DATE_EPOCH and TZ.
class ReadClockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SaveVariable("SOURCE_DATE_EPOCH", &savedEpoch_, &hadEpoch_);
    SaveVariable("TZ", &savedTz_, &hadTz_);
  }
  void TearDown() override {
    Restore("SOURCE_DATE_EPOCH", savedEpoch_, hadEpoch_);
    Restore("TZ", savedTz_, hadTz_);
  }
  static void SaveVariable(const char* name, std::string* value, bool* had) {
    const char* current = std::getenv(name);
    *had = current != nullptr;
    if (current != nullptr) *value = current;
  }
  static void Restore(const char* name, const std::string& value, bool had) {
    if (had) {
      setenv(name, value.c_str(), 1);
    } else {
      unsetenv(name);
    }
  }
  std::string savedEpoch_, savedTz_;
  bool hadEpoch_ = false, hadTz_ = false;
};

TEST_F(ReadClockTest, SourceDateEpochInLocalTime) {
  // 2000-02-29 12:34:56 UTC, a Tuesday.
  const struct {
    const char* tz;
    uint16_t day, hour;
  } cases[] = {{"UTC", 29, 12}, {"JST-9", 29, 21}, {"EST5", 29, 7}, {"NZDT-14", 1, 2}};
  for (const auto& c : cases) {
    setenv("TZ", c.tz, 1);
    setenv("SOURCE_DATE_EPOCH", "951827696", 1);
    ClockReading clock;
    ReadClock(&clock);
    EXPECT_EQ(clock.wYear, 2000) << c.tz;
    EXPECT_EQ(clock.wMonth, c.day == 1 ? 3 : 2) << c.tz;
    EXPECT_EQ(clock.wDay, c.day) << c.tz;
    EXPECT_EQ(clock.wDayOfWeek, c.day == 1 ? 3 : 2) << c.tz;
    EXPECT_EQ(clock.wHour, c.hour) << c.tz;
    EXPECT_EQ(clock.wMinute, 34) << c.tz;
    EXPECT_EQ(clock.wSecond, 56) << c.tz;
    EXPECT_EQ(clock.wMilliseconds, 0) << c.tz;
  }
}

TEST_F(ReadClockTest, MalformedEpochFallsBackToTheClock) {
  setenv("TZ", "UTC", 1);
  setenv("SOURCE_DATE_EPOCH", "12x", 1);
  ClockReading clock;
  ReadClock(&clock);
  EXPECT_GE(clock.wYear, 2024);  // the real clock, not 1970 or 12 seconds past it
  EXPECT_GE(clock.wMonth, 1);
  EXPECT_LE(clock.wMonth, 12);
}

TEST(ReadVersionTest, KernelReleaseNumbers) {
  utsname name{};
  ASSERT_EQ(uname(&name), 0);
  unsigned numbers[3] = {0, 0, 0};
  std::sscanf(name.release, "%u.%u.%u", &numbers[0], &numbers[1], &numbers[2]);
  VersionReading version;
  std::strcpy(version.szCSDVersion, "stale");
  version.dwPlatformId = 9;
  ReadVersion(&version);
  EXPECT_EQ(version.dwMajorVersion, numbers[0]) << name.release;
  EXPECT_EQ(version.dwMinorVersion, numbers[1]) << name.release;
  EXPECT_EQ(version.dwBuildNumber, numbers[2]) << name.release;
  EXPECT_GE(version.dwMajorVersion, 2u);
  EXPECT_EQ(version.dwPlatformId, 0u);
  EXPECT_STREQ(version.szCSDVersion, "");
}

}  // namespace
}  // namespace morvane
