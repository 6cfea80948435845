// The built-in variables from fixed readings, and the parsing of SOURCE_DATE_EPOCH.
#include "engine/builtins.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/tag_table.h"
#include "tests/support/builtin_names.h"

namespace morvane {
namespace {

const auto& kNames = testing::kExpectedBuiltinNames;

ClockReading Clock(uint16_t year, uint16_t month, uint16_t day, uint16_t hour, uint16_t minute,
                   uint16_t second, uint16_t ms, uint16_t dayOfWeek) {
  ClockReading clock;
  clock.wYear = year;
  clock.wMonth = month;
  clock.wDay = day;
  clock.wHour = hour;
  clock.wMinute = minute;
  clock.wSecond = second;
  clock.wMilliseconds = ms;
  clock.wDayOfWeek = dayOfWeek;
  return clock;
}

std::string Value(const char* name) {
  TagEntry* entry = gTagTable.Find(name);
  if (entry == nullptr) return "<missing>";
  if (entry->data == nullptr) return "<null>";
  return std::string(entry->data, entry->length);
}

class BuiltinsTest : public ::testing::Test {
 protected:
  void SetUp() override { gTagTable.ClearAll(); }
  void TearDown() override { gTagTable.ClearAll(); }
  void Define(const ClockReading& clock) { DefineBuiltinsFrom(clock, version_); }
  VersionReading version_;
};

TEST_F(BuiltinsTest, EntriesZeroToTwentySixInOrder) {
  Define(Clock(2024, 3, 9, 8, 4, 2, 45, 6));
  for (int i = 0; i < kBuiltinCount; ++i) {
    const TagEntry& entry = gTagTable.entries[i];
    EXPECT_EQ(entry.flags, TAG_IN_USE) << i;
    EXPECT_STREQ(entry.name, kNames[i]) << i;
    EXPECT_NE(entry.data, nullptr) << i;
  }
  EXPECT_FALSE(gTagTable.entries[kBuiltinCount].InUse());
  EXPECT_EQ(gTagTable.FindFree(), &gTagTable.entries[kBuiltinCount]);
}

TEST_F(BuiltinsTest, FixedValuesAndLengths) {
  Define(Clock(2024, 3, 9, 8, 4, 2, 45, 6));
  TagEntry* eof = gTagTable.Find("_eof");
  ASSERT_NE(eof, nullptr);
  ASSERT_NE(eof->data, nullptr);
  EXPECT_EQ(eof->length, 1u);
  EXPECT_EQ(eof->data[0], '\0');
  EXPECT_EQ(Value("_crlf"), std::string("\x0D\x0A"));
  EXPECT_EQ(Value("_systemname"), "Morvane");
  EXPECT_EQ(Value("_systemversion"), "1.0");
}

struct ClockCase {
  ClockReading clock;
  const char* name;
  const char* expected;
};

class BuiltinsClockTest : public BuiltinsTest, public ::testing::WithParamInterface<ClockCase> {};

TEST_P(BuiltinsClockTest, FormatsTheReading) {
  Define(GetParam().clock);
  EXPECT_EQ(Value(GetParam().name), GetParam().expected);
}

const ClockReading kMidnight = Clock(2024, 1, 2, 0, 30, 0, 0, 2);
const ClockReading kNoon = Clock(2024, 1, 2, 12, 59, 0, 0, 2);
const ClockReading kOnePast = Clock(2024, 12, 31, 13, 5, 9, 7, 2);
const ClockReading kYear2000 = Clock(2000, 2, 29, 23, 0, 0, 999, 2);
const ClockReading kYear2008 = Clock(2008, 10, 5, 11, 0, 0, 100, 0);

INSTANTIATE_TEST_SUITE_P(
    Readings, BuiltinsClockTest,
    ::testing::Values(ClockCase{kMidnight, "_hour", "0"}, ClockCase{kMidnight, "_hour2", "00"},
                      ClockCase{kMidnight, "_noon", "0"}, ClockCase{kMidnight, "_noonhour", "12"},
                      ClockCase{kMidnight, "_noonhour2", "12"}, ClockCase{kNoon, "_noon", "1"},
                      ClockCase{kNoon, "_noonhour", "12"}, ClockCase{kNoon, "_hour", "12"},
                      ClockCase{kOnePast, "_noon", "1"}, ClockCase{kOnePast, "_noonhour", "1"},
                      ClockCase{kOnePast, "_noonhour2", "01"}, ClockCase{kOnePast, "_minute", "5"},
                      ClockCase{kOnePast, "_minute2", "05"}, ClockCase{kOnePast, "_second", "9"},
                      ClockCase{kOnePast, "_second2", "09"}, ClockCase{kOnePast, "_millisecond", "7"},
                      ClockCase{kOnePast, "_millisecond2", "007"}, ClockCase{kOnePast, "_month", "12"},
                      ClockCase{kOnePast, "_day", "31"}, ClockCase{kOnePast, "_dayofweek", "2"},
                      ClockCase{kYear2000, "_year", "2000"}, ClockCase{kYear2000, "_year2", "00"},
                      ClockCase{kYear2000, "_month2", "02"}, ClockCase{kYear2000, "_day2", "29"},
                      ClockCase{kYear2000, "_hour2", "23"}, ClockCase{kYear2000, "_noonhour", "11"},
                      ClockCase{kYear2000, "_millisecond2", "999"}, ClockCase{kYear2008, "_year2", "08"},
                      ClockCase{kYear2008, "_day2", "05"}, ClockCase{kYear2008, "_dayofweek", "0"},
                      ClockCase{kYear2008, "_noon", "0"}, ClockCase{kYear2008, "_noonhour2", "11"},
                      ClockCase{kYear2008, "_millisecond2", "100"}));

TEST_F(BuiltinsTest, VersionFields) {
  version_.dwMajorVersion = 10;
  version_.dwMinorVersion = 0;
  version_.dwBuildNumber = 0xFFFFFFFFu;
  version_.dwPlatformId = 2;
  std::strcpy(version_.szCSDVersion, "Service Pack 3");
  Define(kMidnight);
  EXPECT_EQ(Value("_osmajorversion"), "10");
  EXPECT_EQ(Value("_osminorversion"), "0");
  EXPECT_EQ(Value("_osbuildnumber"), "4294967295");
  EXPECT_EQ(Value("_osplatform"), "2");
  EXPECT_EQ(Value("_osservicepack"), "Service Pack 3");
}

TEST_F(BuiltinsTest, EmptyServicePackIsADefinedEmptyValue) {
  Define(kMidnight);
  TagEntry* entry = gTagTable.Find("_osservicepack");
  ASSERT_NE(entry, nullptr);
  ASSERT_NE(entry->data, nullptr);
  EXPECT_EQ(entry->length, 0u);
  EXPECT_EQ(entry->data[0], '\0');
}

TEST_F(BuiltinsTest, UnterminatedServicePackStopsAt127Bytes) {
  std::memset(version_.szCSDVersion, 'x', sizeof version_.szCSDVersion);
  Define(kMidnight);
  EXPECT_EQ(Value("_osservicepack"), std::string(127, 'x'));
}

TEST_F(BuiltinsTest, AfreshAfterATextRedefinedThem) {
  Define(kYear2008);
  gTagTable.Define("_year", "1999", 4);
  gTagTable.Define("mine", "x", 1);
  gTagTable.ClearAll();
  Define(kYear2000);
  EXPECT_EQ(Value("_year"), "2000");
  EXPECT_EQ(gTagTable.Find("mine"), nullptr);
}

struct EpochCase {
  const char* text;
  int ok;
  int64_t seconds;
};

class SourceDateEpochParse : public ::testing::TestWithParam<EpochCase> {};

TEST_P(SourceDateEpochParse, PlainDecimalOnly) {
  int64_t seconds = -7;
  EXPECT_EQ(ParseSourceDateEpoch(GetParam().text, &seconds), GetParam().ok);
  EXPECT_EQ(seconds, GetParam().ok ? GetParam().seconds : -7);
}

INSTANTIATE_TEST_SUITE_P(
    Values, SourceDateEpochParse,
    ::testing::Values(EpochCase{"0", 1, 0}, EpochCase{"1700000000", 1, 1700000000}, EpochCase{"007", 1, 7},
                      EpochCase{"9223372036854775807", 1, INT64_MAX}, EpochCase{"9223372036854775808", 0, 0},
                      EpochCase{"", 0, 0}, EpochCase{nullptr, 0, 0}, EpochCase{"-1", 0, 0},
                      EpochCase{"+5", 0, 0}, EpochCase{" 5", 0, 0}, EpochCase{"5 ", 0, 0},
                      EpochCase{"1e9", 0, 0}, EpochCase{"12.5", 0, 0}, EpochCase{"0x10", 0, 0}));

TEST(SourceDateEpochClass, WhatAValueDoesToTheClock) {
  const struct {
    const char* text;
    EpochValue expected;
  } cases[] = {
      {nullptr, EpochValue::kUnset},
      {"", EpochValue::kUnset},
      {"0", EpochValue::kUsable},
      {"951827696", EpochValue::kUsable},
      {"12x", EpochValue::kMalformed},
      {" 5", EpochValue::kMalformed},
      {"-1", EpochValue::kMalformed},
      {"1e9", EpochValue::kMalformed},
      {"99999999999999", EpochValue::kOutOfRange},  // year 3170843
      {"9223372036854775808", EpochValue::kOutOfRange},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ClassifySourceDateEpoch(c.text), c.expected) << (c.text != nullptr ? c.text : "unset");
  }
}

}  // namespace
}  // namespace morvane
