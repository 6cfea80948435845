// The records of CSV, TSV and JSON Lines data, read as a stream in pieces of any size.
#include "tool/records.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "tests/text/text_test_support.h"

namespace morvane::testing {
namespace {

// What a reader made of a text: each record as "line: name=value|name=value", each problem as
// "line: !problem field".
std::vector<std::string> ReadAll(RecordFormat format, const std::string& data, size_t piece = 3) {
  size_t at = 0;
  RecordReader reader(format, [&](char* buffer, size_t size) -> long {
    const size_t count = std::min({size, piece, data.size() - at});
    std::memcpy(buffer, data.data() + at, count);
    at += count;
    return static_cast<long>(count);
  });
  std::vector<std::string> seen;
  for (;;) {
    Record record;
    RecordError error;
    const int result = reader.Next(&record, &error);
    if (result == 0) break;
    if (result < 0) {
      seen.push_back(std::to_string(error.line) + ": !" + std::to_string(static_cast<int>(error.problem)) +
                     " " + error.field);
      if (error.fatal) break;
      continue;
    }
    std::string text = std::to_string(record.line) + ":";
    for (const RecordField& field : record.fields) text += " " + field.name + "=" + field.value + "|";
    seen.push_back(text);
  }
  return seen;
}

std::string Problem(uint64_t line, RecordProblem problem, const std::string& field = "") {
  return std::to_string(line) + ": !" + std::to_string(static_cast<int>(problem)) + " " + field;
}

struct Case {
  std::string data;
  std::vector<std::string> records;
};

void ExpectRecords(RecordFormat format, const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    for (size_t piece : {1, 2, 7, 65536}) {
      EXPECT_EQ(ReadAll(format, c.data, piece), c.records) << c.data << " in pieces of " << piece;
    }
  }
}

using P = RecordProblem;

TEST(RecordsTest, CsvAsRfc4180HasIt) {
  ExpectRecords(RecordFormat::kCsv,
                {
                    {"a,b\n1,2\n", {"2: a=1| b=2|"}},
                    {"a,b\r\n1,2\r\n3,4", {"2: a=1| b=2|", "3: a=3| b=4|"}},
                    {"\xEF\xBB\xBF"
                     "a\nx\n",
                     {"2: a=x|"}},
                    {"a,b\n\"x, y\",\"say \"\"hi\"\"\"\n", {"2: a=x, y| b=say \"hi\"|"}},
                    {"a,b\n\"two\nlines\",z\n3,4\n", {"2: a=two\nlines| b=z|", "4: a=3| b=4|"}},
                    {"a,b\n,\n\"\",x\n", {"2: a=| b=|", "3: a=| b=x|"}},
                    {"a\n\n\nx\n\n", {"4: a=x|"}},
                    {"a\n\"\"\n", {"2: a=|"}},
                    {"a,b\nx\"y,\"z\"w\n", {"2: a=x\"y| b=zw|"}},
                    {"a,b\n1,2,3\n4\n5,6\n",
                     {Problem(2, P::kTooManyFields), Problem(3, P::kTooFewFields), "4: a=5| b=6|"}},
                    {"a,b\n1,\"open\n2,3\n", {Problem(2, P::kUnclosedQuote, "b")}},
                    {"a,a\n1,2\n", {Problem(1, P::kDuplicateName, "a")}},
                    {"a,,b\n", {Problem(1, P::kBadName, "")}},
                    {"a,first name\n", {Problem(1, P::kBadName, "first name")}},
                    {"a," + std::string(32, 'n') + "\n", {Problem(1, P::kBadName, std::string(32, 'n'))}},
                    {"only,a,header\n", {}},
                    {"", {}},
                });
}

TEST(RecordsTest, TsvSplitsAtTabsOnly) {
  ExpectRecords(RecordFormat::kTsv, {
                                        {"a\tb\n\"x, y\"\tz\r\n", {"2: a=\"x, y\"| b=z|"}},
                                        {"a\tb\n1\t2\t3\n", {Problem(2, P::kTooManyFields)}},
                                    });
}

TEST(RecordsTest, JsonLinesOfFlatObjects) {
  ExpectRecords(RecordFormat::kJsonLines,
                {
                    {"{\"a\": \"x\", \"n\": -1.5e3, \"t\": true, \"f\": false, \"z\": null}\n",
                     {"1: a=x| n=-1.5e3| t=true| f=false| z=|"}},
                    {"{\"a\":\"1\"}\r\n\n  \n{\"b\":\"2\"}", {"1: a=1|", "4: b=2|"}},
                    {"{\"q\": \"say \\\"hi\\\" \\\\ \\/ \\t\\n\"}\n", {"1: q=say \"hi\" \\ / \t\n|"}},
                    {"{}\n", {"1:"}},
                    {"{\"a\": {\"b\": 1}}\n{\"c\": [1]}\n{\"d\": \"ok\"}\n",
                     {Problem(1, P::kNestedValue, "a"), Problem(2, P::kNestedValue, "c"), "3: d=ok|"}},
                    {"[1, 2]\n", {Problem(1, P::kNotAnObject)}},
                    {"{\"a\": 1,}\n{\"a\": 01}\n{\"a\" 1}\n{\"a\": \"x\"} tail\n",
                     {Problem(1, P::kBadJson), Problem(2, P::kBadJson), Problem(3, P::kBadJson),
                      Problem(4, P::kBadJson)}},
                    {"{\"a\": 1, \"a\": 2}\n", {Problem(1, P::kDuplicateName, "a")}},
                    {"{\"two words\": 1}\n", {Problem(1, P::kBadName, "two words")}},
                });
}

class RecordsCodePageTest : public CodePageTest {};

TEST_F(RecordsCodePageTest, JsonEscapesBecomeCharactersOfTheCodePage) {
  UseCodePage(kCodePageUtf8);
  ExpectRecords(RecordFormat::kJsonLines,
                {
                    {"{\"n\": \"\\u5C71\\u7530 \\ud83d\\ude00\"}\n", {U8(u8"1: n=山田 😀|")}},
                    {"{\"n\": \"\\u0000\"}\n", {Problem(1, P::kNotInCodePage, "n")}},
                    {"{\"n\": \"\\udc00\"}\n", {Problem(1, P::kNotInCodePage, "n")}},
                });
  UseCodePage(kCodePage932);
  ExpectRecords(RecordFormat::kJsonLines,
                {
                    // 表 and ソ end in 0x5C: a second byte is no escape, and the quote after it closes.
                    {"{\"n\": \"\x95\x5C\x83\x5C\"}\n", {"1: n=\x95\x5C\x83\x5C|"}},
                    {"{\"n\": \"\\u8868\"}\n", {"1: n=\x95\x5C|"}},
                    {"{\"n\": \"\\ud83d\\ude00\"}\n", {Problem(1, P::kNotInCodePage, "n")}},
                });
  // CSV takes the bytes as they are, by characters.
  ExpectRecords(RecordFormat::kCsv, {{"n\n\"\x95\x5C,\x83\x5C\"\n", {"2: n=\x95\x5C,\x83\x5C|"}}});
  UseCodePage(kCodePageNone);
  ExpectRecords(RecordFormat::kJsonLines, {{"{\"n\": \"\\u00e9\"}\n", {Problem(1, P::kNotInCodePage, "n")}}});
}

TEST(RecordsTest, FormatsByNameAndExtension) {
  const struct {
    const char* text;
    bool byName;
    int expected;  // -1: none
  } cases[] = {
      {"csv", true, 0},       {"TSV", true, 1},          {"jsonl", true, 2},        {"json", true, -1},
      {"a.csv", false, 0},    {"dir.x/a.TSV", false, 1}, {"a.tab", false, 1},       {"b.jsonl", false, 2},
      {"b.ndjson", false, 2}, {"data", false, -1},       {"x.csv/data", false, -1},
  };
  for (const auto& c : cases) {
    RecordFormat format = RecordFormat::kCsv;
    const int found =
        c.byName ? RecordFormatFromName(c.text, &format) : RecordFormatFromPath(c.text, &format);
    EXPECT_EQ(found ? static_cast<int>(format) : -1, c.expected) << c.text;
  }
}

TEST(RecordsTest, AFailedReadEndsTheData) {
  int calls = 0;
  RecordReader reader(RecordFormat::kCsv, [&](char* buffer, size_t) -> long {
    if (calls++ == 0) {
      std::memcpy(buffer, "a\n1\n", 4);
      return 4;
    }
    errno = EIO;
    return -1;
  });
  Record record;
  RecordError error;
  EXPECT_EQ(reader.Next(&record, &error), 1);
  EXPECT_EQ(reader.Next(&record, &error), -1);
  EXPECT_EQ(error.problem, RecordProblem::kReadFailed);
  EXPECT_EQ(error.systemError, EIO);
  EXPECT_TRUE(error.fatal);
}

}  // namespace
}  // namespace morvane::testing
