#include <cstring>
#include <string>

#include "tests/engine/engine_test_support.h"

namespace morvane::testing {
namespace {

using TagTableTest = EngineTest;

TEST_F(TagTableTest, EmptyTableFindsNothing) {
  EXPECT_EQ(gTagTable.Find(""), nullptr);
  EXPECT_EQ(gTagTable.Find("x"), nullptr);
  EXPECT_EQ(gTagTable.FindFree(), &gTagTable.entries[0]);
}

TEST_F(TagTableTest, NewTagsTakeLowestFreeIndexAndKeepIt) {
  DefineAll({{"a", "1"}, {"b", "2"}, {"c", "3"}});
  EXPECT_EQ(gTagTable.Find("b"), &gTagTable.entries[1]);
  ASSERT_EQ(gTagTable.Define("b", "22", 2), 1);
  EXPECT_EQ(gTagTable.Find("b"), &gTagTable.entries[1]);
  EXPECT_EQ(ValueOf("b"), "22");
  EXPECT_EQ(gTagTable.FindFree(), &gTagTable.entries[3]);
}

TEST_F(TagTableTest, NamesAreCaseSensitiveAndLimitedTo31Bytes) {
  DefineAll({{"x", "lower"}, {"X", "upper"}});
  EXPECT_EQ(ValueOf("x"), "lower");
  EXPECT_EQ(ValueOf("X"), "upper");

  const std::string name31(31, 'n');
  const std::string name32(32, 'n');
  EXPECT_EQ(gTagTable.Define(name31.c_str(), "v", 1), 1);
  EXPECT_NE(gTagTable.Find(name31.c_str()), nullptr);
  EXPECT_EQ(gTagTable.Define(name32.c_str(), "v", 1), 0);
  EXPECT_EQ(gTagTable.FindFree(), &gTagTable.entries[3]);

  TagEntry entry;
  EXPECT_EQ(entry.SetName("keep"), 1);
  EXPECT_EQ(entry.SetName(name32.c_str()), 0);
  EXPECT_STREQ(entry.name, "keep");
}

TEST_F(TagTableTest, LoneLeadByteEndsAName) {
  DefineAll({{"ab", "v"}});
  EXPECT_EQ(gTagTable.Find("ab\x81"), &gTagTable.entries[0]);
  // A name that is a single lone lead byte is the empty name.
  DefineAll({{"\x81", "e"}});
  EXPECT_EQ(gTagTable.Find(""), &gTagTable.entries[1]);
  EXPECT_EQ(gTagTable.Define("", "f", 1), 1);
  EXPECT_EQ(ValueOf("\x82"), "f");
  UseCodePage(kCodePageNone);
  EXPECT_EQ(gTagTable.Find("ab\x81"), nullptr);
  EXPECT_EQ(gTagTable.Find(""), nullptr);
}

TEST_F(TagTableTest, SetDataStoresExactlyTheGivenLength) {
  struct Case {
    std::string bytes;
    uint32_t length;
    std::string stored;
  };
  const Case cases[] = {
      {"", 0, ""},
      {"", 1, std::string(1, '\0')},
      {"ab", 5, std::string("ab\0\0\0", 5)},
      {"ab\x81", 3, std::string("ab\0", 3)},
      {"\x83\x5D", 2, "\x83\x5D"},
  };
  for (const Case& c : cases) {
    TagEntry entry;
    ASSERT_EQ(entry.SetData(c.bytes.c_str(), c.length), 1);
    ASSERT_NE(entry.data, nullptr);
    EXPECT_EQ(entry.length, c.length);
    EXPECT_EQ(std::string(entry.data, entry.length), c.stored);
    EXPECT_EQ(entry.data[entry.length], '\0');
  }
}

TEST_F(TagTableTest, EmptyValueDiffersFromNoValue) {
  TagEntry entry;
  EXPECT_EQ(entry.data, nullptr);
  entry.SetData("", 0);
  ASSERT_NE(entry.data, nullptr);
  EXPECT_EQ(entry.length, 0u);
  entry.Clear();
  EXPECT_EQ(entry.data, nullptr);
  EXPECT_EQ(entry.flags, 0u);
  EXPECT_EQ(entry.name[0], '\0');
}

TEST_F(TagTableTest, ReadOnlyRefusesDefineUntilCleared) {
  DefineAll({{"r", "old"}});
  gTagTable.Find("r")->flags |= TAG_READONLY;
  EXPECT_EQ(gTagTable.Define("r", "new", 3), 0);
  EXPECT_EQ(ValueOf("r"), "old");
  gTagTable.ClearAll();
  EXPECT_EQ(gTagTable.Define("r", "new", 3), 1);
  EXPECT_EQ(gTagTable.Find("r")->flags, TAG_IN_USE);
}

TEST_F(TagTableTest, FullTable) {
  DefineAll({{"old", "1"}});
  FillTable();
  EXPECT_EQ(gTagTable.FindFree(), nullptr);
  EXPECT_EQ(gTagTable.Define("new", "v", 1), 0);
  EXPECT_EQ(gTagTable.Find("new"), nullptr);
  EXPECT_EQ(gTagTable.Define("old", "2", 1), 1);
  EXPECT_EQ(ValueOf("old"), "2");
  EXPECT_EQ(gTagTable.Find("fill1023"), &gTagTable.entries[1023]);
  ExpectTableConsistent();
}

}  // namespace
}  // namespace morvane::testing
