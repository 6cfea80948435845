// The reference model on its own (the documented results of the language) and against the engine on the
// seed corpora, so that both are exercised outside the fuzz build too.
#include "tests/fuzz/differential.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "engine/tag_table.h"
#include "text/text.h"
#include "files/text_files.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/reference_model.h"

namespace morvane::fuzz {
namespace {

const std::filesystem::path kCorpus = MORVANE_FUZZ_CORPUS;

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::filesystem::path> Files(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> files;
  for (const auto& item : std::filesystem::directory_iterator(folder)) files.push_back(item.path());
  std::sort(files.begin(), files.end());
  return files;
}

class DifferentialTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { PrepareDifferential(); }
  void TearDown() override {
    gTagTable.ClearAll();
    SetActiveCodePage(kCodePage932);
  }
};

TEST_F(DifferentialTest, EngineAgreesWithTheModelOnTheSeedCorpora) {
  int inputs = 0;
  for (const char* harness : {"differential", "expand"}) {
    for (const std::filesystem::path& file : Files(kCorpus / harness)) {
      const std::string bytes = ReadFile(file);
      EXPECT_EQ(CompareWithModel(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), "")
          << file.filename();
      ++inputs;
    }
  }
  EXPECT_GT(inputs, 150);
}

// Each bound's seed gives the status it was written for, and fails by that bound.
TEST_F(DifferentialTest, BoundSeedsEndAsIntended) {
  std::istringstream lines(ReadFile(kCorpus / "differential-bounds.txt"));
  std::string name;
  int status;
  std::string bound;
  int seeds = 0;
  while (lines >> name >> status >> bound) {
    const std::string bytes = ReadFile(kCorpus / "differential" / name);
    ASSERT_FALSE(bytes.empty()) << name;
    ModelOutcome outcome;
    EXPECT_EQ(CompareWithModel(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &outcome), "")
        << name;
    EXPECT_EQ(outcome.status, status) << name;
    EXPECT_EQ(outcome.failed, bound == "-" ? "" : bound) << name;
    ++seeds;
  }
  EXPECT_GE(seeds, 20);
}

// The table comparison reports every kind of difference, at the entry where it lies.
TEST_F(DifferentialTest, TableComparisonFindsEachDifference) {
  gTagTable.ClearAll();
  gTagTable.Define("a", "value", 5);
  gTagTable.Define("b", "", 0);
  gTagTable.entries[1].flags |= TAG_READONLY;
  TagTable::Create(&gTagTable.entries[2], "c");
  std::vector<model::Entry> same(model::kCapacity);
  same[0] = {true, false, "a", true, "value"};
  same[1] = {true, true, "b", true, ""};
  same[2] = {true, false, "c", false, ""};
  ASSERT_EQ(CompareTable(same), "");

  struct Change {
    int entry;
    void (*apply)(model::Entry&);
  };
  const Change changes[] = {
      {0, [](model::Entry& e) { e.name = "A"; }},
      {0, [](model::Entry& e) { e.value = "valuE"; }},
      {0, [](model::Entry& e) { e.value = "valu"; }},
      {0, [](model::Entry& e) { e.value = std::string("value\0", 6); }},
      {0, [](model::Entry& e) { e.readOnly = true; }},
      {1, [](model::Entry& e) { e.hasValue = false; }},
      {1, [](model::Entry& e) { e.readOnly = false; }},
      {2, [](model::Entry& e) { e.hasValue = true; }},
      {2, [](model::Entry& e) { e = model::Entry(); }},
      {3,
       [](model::Entry& e) {
         e = {true, false, "d", false, ""};
       }},
  };
  for (const Change& change : changes) {
    std::vector<model::Entry> changed = same;
    change.apply(changed[static_cast<size_t>(change.entry)]);
    const std::string difference = CompareTable(changed);
    EXPECT_EQ(difference.rfind("entry " + std::to_string(change.entry) + ":", 0), 0u) << difference;
  }
}

// The model alone, on the language's documented results.
struct ModelCase {
  bool cp932;
  std::string text;
  std::optional<std::string> result;  // nullopt: the expansion fails
};

std::optional<std::string> RunModel(model::Model& model, const std::string& text) {
  std::string result;
  if (!model.Expand(text + '\0', &result)) return std::nullopt;
  return result;
}

model::Model MakeModel(bool cp932, uint32_t size = 512) {
  return model::Model(model::Characters{cp932}, size,
                      model::Budget{kFuzzBudget.passes, kFuzzBudget.bytes, kFuzzBudget.tags}, ReadTextFile);
}

TEST(ModelTest, Results) {
  const std::string n32(32, 'n');
  const ModelCase cases[] = {
      {true, "", ""},
      {true, "a \\[x] b", "a [x] b"},
      {true, "\\\\[", "\\["},
      {true, "ends with \\", "ends with \\"},
      {true, "[x data=\"v\"][x]", "v"},
      {true, "[x][x data=\"v\"][x]", "v"},
      {true, "[y data=\"\\[x]\"][x data=\"v\"][y]", "[x]"},
      {true, "[a data=\"[b]\"][b data=\"[c]\"][c data=\"deep\"]<[a]>", "<deep>"},
      {true, "see [abc", "see "},
      {true, "[p data=\"[\"][p]q data=\"Q\"]<[p]q]>", "<Q>"},
      {true, "[" + n32 + "]", "[" + n32 + "]"},
      {true, "[X data=\"v\"][x]", ""},
      {true, "[x DATA=\"a\"][x ALIGN=\"RIGHT\" min=\"3\"]", "  a"},
      {true, "[x data=\"a] b\"][x]", "a] b"},
      {true, "[x note=\"a]b\" data=\"v\"]", "b\" data=\"v\"]"},
      {true, "[x data=abc][x min=\"1\" padding=\"-\"]", "-"},
      {true, "[x data =\"v\"][x]", ""},
      {true, "[x\tdata=\"v\"][x]", ""},
      {true, "[x data=\"v\"][x readonly=\"no\" loop=\"2\"]", ""},
      {true, "[a [b]]", "]"},
      {true, "[[b data=\"v\"][[b]", "v"},
      {true, "[ data=\"v\"][]", "v"},
      {true, "[x data=\"abc\"][x min=\"6\" align=\"center\" padding=\"=\"]", "=abc=="},
      {true, "[x data=\"abcdefg\"][x max=\"3\" align=\"center\"]", "cde"},
      {true, "[x data=\"abcdef\"][x max=\"3\" align=\"center\"]", "bcd"},
      {true, "[x data=\"abcdefg\"][x max=\"3\" align=\"right\"]", "efg"},
      {true, "[x data=\"ab\"][x loop=\"2\" min=\"4\" align=\"right\" padding=\"-\"]", "--ab--ab"},
      {true, "[x data=\"abc\"][x min=\"10\" max=\"5\" padding=\".\"]", "abc......."},
      {true, "[x data=\"abc\"][x max=\"5\" min=\"10\" padding=\".\"]", "abc.."},
      {true, "[x data=\"abc\"][x min=\"0x10\" max=\"010\"]", "abc" + std::string(13, ' ')},
      {true, "[x data=\"a\"][x loop=\"08\"][x loop=\" 2\"][x loop=\"3rd\"]", "aaaaa"},
      {true, "[x data=\"abc\"][x loop=\"-4294967295\"]", "abc"},
      {true, "[x data=\"abc\"][x loop=\"4294967296\"]", std::nullopt},
      {true, "[x data=\"abc\"][x loop=\"4294967295\" max=\"0\"]", ""},
      {true, "[x data=\"ab\"][x padding=\"\" min=\"3\"][x padding=\"xyz\" min=\"3\"]", "ab abx"},
      {true, "[x readonly=\"yes\"][x data=\"no\"][x]", ""},
      {true, "[x readonly=\"maybe\"][x data=\"w\"][x]", "w"},
      {true, "[self data=\"[self]\"][self]", std::nullopt},
      {true, "[grow data=\"[grow][grow]\"][grow]", std::nullopt},
      {true, "[x data=\"v\"]\x95\x5C[x]", "\x95\x5Cv"},
      {false, "[x data=\"v\"]\x95\\[x]", "\x95[x]"},
      {true, "\x81\x5B[x data=\"v\"]\x81\x5D", "\x81\x5B\x81\x5D"},
      {true, "tail\x81", "tail\x81"},
      {true, "[a data=\"v\"][a\x83\x5D]", "v]"},
      {true, "[x data=\"\x81\"\"][x]", "\x81\""},
      {true, "[x data=\"\x82\xa0\x82\xa2\x82\xa4\"][x min=\"7\" padding=\"=\"]", "\x82\xa0\x82\xa2\x82\xa4="},
      {true, "[x data=\"\x82\xa0\x82\xa2\x82\xa4\"][x max=\"3\" align=\"right\"]", "\xa2\x82\xa4"},
      // A cut that ends inside a character, and one that begins inside one so that a second byte reads as a
      // lead byte at its end: the partnerless lead byte becomes a space.
      {true, "[x data=\"\x82\xa0\x82\xa2\x82\xa4\"][x max=\"5\"]", "\x82\xa0\x82\xa2 "},
      {true, "[x data=\"\x88\x9f\x88\x9f\"][x max=\"3\" align=\"right\"]", "\x9f\x88 "},
      {false, "[x data=\"\x82\xa0\x82\xa2\x82\xa4\"][x max=\"5\"]", "\x82\xa0\x82\xa2\x82"},
      {true, "[x data=\"ab\x81", ""},
      {true, "[q datafile=\"a.txt\"][q]", "<from a>"},
      {true, "[q datafile=\"missing.txt\"][q min=\"1\" padding=\"-\"]", "-"},
      {true, "[q datafile=\"nul.txt\"][q]", "before"},
  };
  for (const ModelCase& c : cases) {
    model::Model model = MakeModel(c.cp932);
    EXPECT_EQ(RunModel(model, c.text), c.result) << Printable(c.text);
  }
}

TEST(ModelTest, TableAfterExpansion) {
  model::Model model = MakeModel(true, 64);
  model.table[0] = {true, false, "_eof", true, std::string(1, '\0')};
  model.table[2] = {true, false, "old", true, "o"};
  EXPECT_EQ(RunModel(model, "before[_eof]after[z data=\"kept\"]"), "before");
  // A new tag takes the lowest free entry; a lone lead byte ending a value is not stored.
  EXPECT_EQ(RunModel(model, "[w datafile=\"lead.txt\"][r readonly=\"yes\"][old data=\"n\"]"), "");
  const model::Entry expected[] = {
      {true, false, "_eof", true, std::string(1, '\0')},
      {true, false, "z", true, "kept"},
      {true, false, "old", true, "n"},
      {true, false, "w", true, std::string("ab\0", 3)},
      {true, true, "r", false, ""},
  };
  for (size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(model.table[i].name, expected[i].name) << i;
    EXPECT_EQ(model.table[i].readOnly, expected[i].readOnly) << i;
    EXPECT_EQ(model.table[i].hasValue, expected[i].hasValue) << i;
    EXPECT_EQ(model.table[i].value, expected[i].value) << i;
  }
  // A text that overflows keeps what was defined before the overflow.
  EXPECT_EQ(RunModel(model, "[y data=\"1\"][z loop=\"100\"][y2 data=\"2\"]"), std::nullopt);
  EXPECT_EQ(model.table[5].name, "y");
  EXPECT_FALSE(model.table[6].inUse);
}

TEST(ModelTest, FullTableLeavesNewTagsLiteral) {
  model::Model model = MakeModel(true);
  for (size_t i = 0; i < model::kCapacity; ++i)
    model.table[i] = {true, false, "f" + std::to_string(i), true, "v"};
  EXPECT_EQ(RunModel(model, "[new data=\"v\"][new][f7 data=\"w\"][f7]"), "[new data=\"v\"]w");
}

TEST(ModelTest, NamesCompareByCharacters) {
  const model::Characters cp932{true};
  const model::Characters none{false};
  struct NameCase {
    const char* a;
    const char* b;
    bool under932;
    bool underNone;
  };
  const NameCase cases[] = {
      {"ab\x81", "ab", true, false},
      {"\x81", "", true, false},
      {"\x81\x81\x81", "\x81\x81", true, false},
      {"\x81\x81", "\x81", false, false},
      {"a\x81"
       "b",
       "a\x81", false, false},
      {"x", "X", false, false},
      {"abc", "abc", true, true},
  };
  for (const NameCase& c : cases) {
    EXPECT_EQ(cp932.SameName(c.a, c.b), c.under932) << Printable(c.a) << " " << Printable(c.b);
    EXPECT_EQ(none.SameName(c.a, c.b), c.underNone) << Printable(c.a) << " " << Printable(c.b);
  }
}

}  // namespace
}  // namespace morvane::fuzz
