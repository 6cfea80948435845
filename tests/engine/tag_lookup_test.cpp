// TagTable::Find compares names a word at a time; these tests hold it to the character-wise comparison.
#include <cstdint>
#include <string>

#include "tests/engine/engine_test_support.h"

namespace morvane::testing {
namespace {

class TagLookupTest : public EngineTest {
 protected:
  // The lookup as the character model states it: the first entry in use whose name compares equal.
  static TagEntry* FindByCharacters(const char* name) {
    for (TagEntry& entry : gTagTable.entries) {
      if (entry.InUse() && NamesEqual(entry.name, name)) return &entry;
    }
    return nullptr;
  }
  static void Put(int index, const std::string& name) {
    TagTable::Create(&gTagTable.entries[index], name.c_str());
  }
};

TEST_F(TagLookupTest, StaleBytesBehindAShorterNameNeverMatch) {
  TagEntry& entry = gTagTable.entries[5];
  Put(5, "abcdefghijklmnopqrstuvwxyz");
  entry.SetName("abc");  // the bytes behind the new terminator keep the old name
  EXPECT_EQ(gTagTable.Find("abc"), &entry);
  EXPECT_EQ(gTagTable.Find("abcdefghijklmnopqrstuvwxyz"), nullptr);
  EXPECT_EQ(gTagTable.Find("abcdefgh"), nullptr);
  EXPECT_EQ(gTagTable.Find("ab"), nullptr);
  // A cleared entry keeps its old bytes too, and is skipped.
  entry.Clear();
  EXPECT_EQ(gTagTable.Find(""), nullptr);
  EXPECT_EQ(gTagTable.Find("abc"), nullptr);
}

TEST_F(TagLookupTest, NamesAroundTheWordBoundariesAndTheLongestName) {
  const std::string cases[] = {"",
                               "a",
                               "abcdefg",
                               "abcdefgh",
                               "abcdefghi",
                               std::string(15, 'x'),
                               std::string(16, 'x'),
                               std::string(17, 'x'),
                               std::string(24, 'y'),
                               std::string(30, 'z') + "\x81",
                               std::string(31, 'z')};
  for (int i = 0; i < static_cast<int>(std::size(cases)); ++i) Put(i, cases[i]);
  for (int i = 0; i < static_cast<int>(std::size(cases)); ++i) {
    EXPECT_EQ(gTagTable.Find(cases[i].c_str()), &gTagTable.entries[i]) << i;
  }
  // Thirty z and a lone lead byte is the name of thirty z; a lone lead byte after 31 z is dropped too.
  EXPECT_EQ(gTagTable.Find(std::string(30, 'z').c_str()), &gTagTable.entries[9]);
  EXPECT_EQ(gTagTable.Find((std::string(31, 'z') + "\x82").c_str()), &gTagTable.entries[10]);
  // Names of 32 bytes or more find nothing, however they begin.
  EXPECT_EQ(gTagTable.Find(std::string(32, 'z').c_str()), nullptr);
  EXPECT_EQ(gTagTable.Find(std::string(40, 'x').c_str()), nullptr);
  EXPECT_EQ(gTagTable.Find(std::string(23, 'y').c_str()), nullptr);
  EXPECT_EQ(gTagTable.Find(std::string(25, 'y').c_str()), nullptr);
}

TEST_F(TagLookupTest, DoubleByteCharactersCompareAsUnits) {
  Put(0, "a\x81\x81");  // one double-byte character after a
  Put(1, "b\x81");      // b and a lone lead byte: the name b
  Put(2, "\x83\x5D");
  EXPECT_EQ(gTagTable.Find("a\x81\x81"), &gTagTable.entries[0]);
  EXPECT_EQ(gTagTable.Find("a\x81"), nullptr);
  EXPECT_EQ(gTagTable.Find("a"), nullptr);
  EXPECT_EQ(gTagTable.Find("b"), &gTagTable.entries[1]);
  EXPECT_EQ(gTagTable.Find("b\x9F"), &gTagTable.entries[1]);
  EXPECT_EQ(gTagTable.Find("\x83\x5D"), &gTagTable.entries[2]);
  EXPECT_EQ(gTagTable.Find("\x83"), nullptr);
  UseCodePage(kCodePageNone);
  EXPECT_EQ(gTagTable.Find("b"), nullptr);
  EXPECT_EQ(gTagTable.Find("b\x81"), &gTagTable.entries[1]);
  EXPECT_EQ(gTagTable.Find("a\x81"), nullptr);
}

// Random names over bytes that stress the rules (lead bytes, their trail bytes, letters), with stale
// bytes behind terminators and unused entries in between: the word-wise lookup agrees with the
// character-wise one on every query, under both kinds of code page.
TEST_F(TagLookupTest, AgreesWithTheCharacterComparisonOnRandomNames) {
  const unsigned char alphabet[] = {'a', 'b', 0x81, 0x9F, 0xE0, 0x5D, 0x40, 0xA0};
  uint32_t state = 12345;
  auto next = [&](uint32_t bound) {
    state = state * 1103515245u + 12345u;
    return (state >> 16) % bound;
  };
  auto randomName = [&](uint32_t maxLength) {
    std::string name;
    const uint32_t length = next(maxLength + 1);
    for (uint32_t i = 0; i < length; ++i) name += static_cast<char>(alphabet[next(sizeof alphabet)]);
    return name;
  };
  for (int codePage : {kCodePage932, kCodePageNone}) {
    UseCodePage(codePage);
    for (int round = 0; round < 20; ++round) {
      gTagTable.ClearAll();
      std::string names[kTagCapacity];
      for (int i = 0; i < kTagCapacity; ++i) {
        const uint32_t kind = next(8);
        if (kind == 0) continue;  // left unused
        // Short names are more likely to collide, which is what the comparison must get right.
        names[i] = randomName(kind < 4 ? 4 : (kind < 7 ? 12 : kTagNameMax));
        Put(i, randomName(kTagNameMax));  // stale bytes for the real name to leave behind
        gTagTable.entries[i].SetName(names[i].c_str());
        if (kind == 1 && i % 3 == 0) gTagTable.entries[i].Clear();
      }
      for (int query = 0; query < 400; ++query) {
        std::string name;
        switch (next(4)) {
          case 0:
            name = randomName(kTagNameMax + 2);
            break;
          case 1:
            name = randomName(4);
            break;
          default:  // an existing name, sometimes with a lead byte added or its last byte dropped
            name = names[next(kTagCapacity)];
            if (next(2) == 0) name += '\x81';
            if (next(3) == 0 && !name.empty()) name.pop_back();
            break;
        }
        ASSERT_EQ(gTagTable.Find(name.c_str()), FindByCharacters(name.c_str()))
            << "code page " << codePage << ", round " << round << ", query of " << name.size() << " bytes";
      }
    }
  }
}

}  // namespace
}  // namespace morvane::testing
