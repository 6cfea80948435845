#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tests/engine/engine_test_support.h"

namespace morvane::testing {
namespace {

struct TagRun {
  int result;
  TagOutcome outcome;
  std::string written;
  size_t consumed;
};

// Runs ProcessTag once at the start of `text` with a scratch buffer in place, as a pass would.
TagRun RunTag(const std::string& text) {
  std::unique_ptr<char[]> scratch(new char[kTextBufferSize]);
  ScratchBuffer = scratch.get();
  gScratchBufferSize = kTextBufferSize;
  std::vector<char> output(4096);
  PassOutput out{output.data(), output.data() + output.size() - 1};
  const char* in = text.c_str();
  TagRun run{};
  run.result = ProcessTag(out, in, &run.outcome);
  run.written.assign(output.data(), out.cursor);
  run.consumed = static_cast<size_t>(in - text.c_str());
  ScratchBuffer = nullptr;
  gScratchBufferSize = 0;
  return run;
}

using TagExpressionTest = EngineTest;

struct ExpressionCase {
  const char* input;
  const char* written;
  size_t consumed;  // bytes of input taken; npos for the whole text
  TagOutcome outcome;
};

constexpr size_t kAll = std::string::npos;

TEST_F(TagExpressionTest, OutcomesWithExistingTagX) {
  const ExpressionCase cases[] = {
      {"[x]rest", "abc", 3, TagOutcome::kReference},
      {"[y]rest", "", 3, TagOutcome::kMissing},
      {"[X]", "", 3, TagOutcome::kMissing},
      {"[x note=\"a]b\" data=\"v\"]", "abc", 11, TagOutcome::kReference},
      {"[x data =\"v\"]", "abc", kAll, TagOutcome::kReference},
      {"[x readonly=\"no\" loop=\"2\"]", "", kAll, TagOutcome::kDefinition},
      {"[x loop=\"\"]", "", kAll, TagOutcome::kReference},
      {"[x loop=\"none\"]", "", kAll, TagOutcome::kReference},
      {"[x loop=2]", "", kAll, TagOutcome::kReference},
      {"[x loop=\"2\"]", "abcabc", kAll, TagOutcome::kReference},
      {"[x min=\"3\"align=\"right\" min=\"5\" padding=\"0\"]", "00abc", kAll, TagOutcome::kReference},
      {"[x align=\"right\" align=\"middle\" min=\"4\"]", " abc", kAll, TagOutcome::kReference},
      {"[x ALIGN=\"RIGHT\" Min=\"4\"]", " abc", kAll, TagOutcome::kReference},
      {"[x min=\"10\" max=\"5\"]", "abc       ", kAll, TagOutcome::kReference},
      {"[x max=\"5\" min=\"10\"]", "abc  ", kAll, TagOutcome::kReference},
      {"[x padding=\"\" min=\"4\"]", "abc ", kAll, TagOutcome::kReference},
      {"[x padding=\"xyz\" min=\"4\"]", "abcx", kAll, TagOutcome::kReference},
      {"[x padding=\"\\\"\" min=\"4\"]", "abc\"", kAll, TagOutcome::kReference},
      {"[x    ]", "abc", kAll, TagOutcome::kReference},
      {"[x", "abc", kAll, TagOutcome::kReference},
      {"[a [b]]", "", 6, TagOutcome::kMissing},
  };
  for (const ExpressionCase& c : cases) {
    gTagTable.ClearAll();
    DefineAll({{"x", "abc"}});
    const TagRun run = RunTag(c.input);
    EXPECT_EQ(run.written, c.written) << c.input;
    EXPECT_EQ(run.consumed, c.consumed == kAll ? std::strlen(c.input) : c.consumed) << c.input;
    EXPECT_EQ(run.outcome, c.outcome) << c.input;
    EXPECT_EQ(run.result, c.outcome == TagOutcome::kDefinition || c.outcome == TagOutcome::kReference)
        << c.input;
    EXPECT_EQ(ValueOf("x"), "abc") << c.input;
  }
}

struct DefinitionCase {
  const char* input;
  const char* tag;
  const char* value;  // nullptr: the tag has no value
  bool readOnly;
};

TEST_F(TagExpressionTest, Definitions) {
  const DefinitionCase cases[] = {
      {"[x data=\"abc\"]", "x", "abc", false},
      {"[x DATA=\"a\"]", "x", "a", false},
      {"[x Data=\"a\"]", "x", "a", false},
      {"[x data=\"a] b\"]", "x", "a] b", false},
      {"[x data=abc]", "x", "", false},
      {"[x data= \"v\"]", "x", "", false},
      {"[x data=\"v\"", "x", "v", false},
      {"[x data=\"unterminated", "x", "unterminated", false},
      {"[x loop=\"2\" data=\"v\"]", "x", "v", false},
      {"[x data=\"a\" data=\"b\"]", "x", "b", false},
      {"[x data=\"loop\"]", "x", "loop", false},
      {"[x data=\"min\" max=\"3\"]", "x", "min", false},
      {"[x readonly=\"maybe\"]", "x", nullptr, false},
      {"[x readonly=\"yes\"]", "x", nullptr, true},
      {"[x readonly=\"YES\" data=\"v\"]", "x", nullptr, true},
      {"[x data=\"v\" readonly=\"yes\"]", "x", "v", true},
      {"[x datafile=\"no-such-file.txt\"]", "x", nullptr, false},
      {"[ data=\"v\"]", "", "v", false},
      {"[x data=\"a\\\"b\"]", "x", "a\"b", false},
      {"[\xe3\x83\x87 data=\"\x83\x66\x81\x5B\x83\x5E\"]", "\xe3\x83\x87", "\x83\x66\x81\x5B\x83\x5E", false},
  };
  for (const DefinitionCase& c : cases) {
    gTagTable.ClearAll();
    const TagRun run = RunTag(c.input);
    EXPECT_EQ(run.outcome, TagOutcome::kDefinition) << c.input;
    EXPECT_EQ(run.result, 1) << c.input;
    EXPECT_EQ(run.written, "") << c.input;
    EXPECT_EQ(run.consumed, std::strlen(c.input)) << c.input;
    const TagEntry* entry = gTagTable.Find(c.tag);
    ASSERT_NE(entry, nullptr) << c.input;
    if (c.value == nullptr) {
      EXPECT_EQ(entry->data, nullptr) << c.input;
    } else {
      EXPECT_EQ(ValueOf(c.tag), c.value) << c.input;
    }
    EXPECT_EQ(entry->ReadOnly(), c.readOnly) << c.input;
  }
}

TEST_F(TagExpressionTest, NameEndsOnlyAtSpaceBracketOrEnd) {
  struct Case {
    const char* input;
    const char* name;
  };
  const Case cases[] = {
      {"[x\tdata=\"v\"]", "x\tdata=\"v\""},
      {"[xdata=\"v\"]", "xdata=\"v\""},
      {"[[b data=\"v\"]", "[b"},
  };
  for (const Case& c : cases) {
    gTagTable.ClearAll();
    const TagRun run = RunTag(c.input);
    EXPECT_EQ(run.outcome, c.name == std::string("[b") ? TagOutcome::kDefinition : TagOutcome::kMissing)
        << c.input;
    if (run.outcome == TagOutcome::kDefinition) {
      EXPECT_NE(gTagTable.Find(c.name), nullptr);
    }
  }
  DefineAll({{"x\tdata=\"v\"", "tab"}});
  EXPECT_EQ(RunTag("[x\tdata=\"v\"]").written, "tab");
}

TEST_F(TagExpressionTest, LongNamesAreLiteralBrackets) {
  const std::string name31(31, 'n');
  DefineAll({{name31.c_str(), "ok"}});
  EXPECT_EQ(RunTag("[" + name31 + "]").written, "ok");

  const std::string long32 = "[" + std::string(32, 'n') + " data=\"v\"]";
  const TagRun run = RunTag(long32);
  EXPECT_EQ(run.outcome, TagOutcome::kLiteralBracket);
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.written, "[");
  EXPECT_EQ(run.consumed, 1u);
  EXPECT_EQ(gTagTable.FindFree(), &gTagTable.entries[1]);
}

TEST_F(TagExpressionTest, FullTable) {
  DefineAll({{"old", "1"}});
  FillTable();
  const TagRun created = RunTag("[new loop=\"3\" data=\"v\"]");
  EXPECT_EQ(created.outcome, TagOutcome::kLiteralBracket);
  EXPECT_EQ(created.written, "[");
  EXPECT_EQ(created.consumed, 1u);
  EXPECT_EQ(RunTag("[new]").outcome, TagOutcome::kMissing);
  EXPECT_EQ(RunTag("[old data=\"v\"]").outcome, TagOutcome::kDefinition);
  EXPECT_EQ(ValueOf("old"), "v");
}

TEST_F(TagExpressionTest, EmptyNameAndBareBracket) {
  EXPECT_EQ(RunTag("[]").outcome, TagOutcome::kMissing);
  EXPECT_EQ(RunTag("[").consumed, 1u);
  EXPECT_EQ(RunTag("[ data=\"v\"]").outcome, TagOutcome::kDefinition);
  EXPECT_EQ(RunTag("[]").written, "v");
  EXPECT_EQ(RunTag("[ ]").written, "v");
  EXPECT_EQ(RunTag("[").written, "v");
  EXPECT_EQ(RunTag("[x]").outcome, TagOutcome::kMissing);
}

TEST_F(TagExpressionTest, TrailByte5DEndsTheName) {
  DefineAll({{"a", "A"}});
  // [ a ゾ ] : ゾ is 0x83 0x5D, whose 0x5D closes the expression; the lone 0x83 ends the name.
  const TagRun run = RunTag("[a\x83\x5D]");
  EXPECT_EQ(run.outcome, TagOutcome::kReference);
  EXPECT_EQ(run.written, "A");
  EXPECT_EQ(run.consumed, 4u);
}

TEST_F(TagExpressionTest, ReadOnlyTagsKeepTheirValue) {
  const char* steps[] = {
      "[x data=\"v\" readonly=\"yes\"]",
      "[x data=\"w\"]",
      "[x datafile=\"no-such-file.txt\"]",
  };
  for (const char* step : steps) EXPECT_EQ(RunTag(step).outcome, TagOutcome::kDefinition) << step;
  EXPECT_EQ(ValueOf("x"), "v");
  EXPECT_EQ(RunTag("[x readonly=\"no\" data=\"w\"]").outcome, TagOutcome::kDefinition);
  EXPECT_EQ(ValueOf("x"), "w");
  EXPECT_FALSE(gTagTable.Find("x")->ReadOnly());
}

TEST_F(TagExpressionTest, NotABracket) {
  const TagRun run = RunTag("x]");
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.consumed, 0u);
  EXPECT_EQ(run.written, "");
}

TEST_F(TagExpressionTest, ParseQuoted) {
  struct Case {
    const char* input;
    const char* value;
    size_t next;  // offset where scanning goes on
  };
  const Case cases[] = {
      {"\"a\\\"b\" x", "a\"b", 6},
      {"\"a\\b\"", "a\\b", 5},
      {"\"a\\\\b\"", "a\\\\b", 6},
      {"\"ab\\\" more\" tail", "ab\" more", 11},
      {"\"open", "open", 5},
      {"unquoted", "", 0},
      {"\"\"", "", 2},
      {"\"\x83\x5C\"", "\x83\x5C", 4},
      {"\"\x83\"\" x", "\x83\"", 4},
      {"\"a\\", "a\\", 3},
  };
  for (const Case& c : cases) {
    char dest[64];
    const char* next = ParseQuoted(c.input, dest, sizeof dest);
    EXPECT_STREQ(dest, c.value) << c.input;
    EXPECT_EQ(static_cast<size_t>(next - c.input), c.next) << c.input;
  }
  char tiny[4];
  EXPECT_THROW(ParseQuoted("\"abcdef\"", tiny, sizeof tiny), ExpansionOverflow);
}

}  // namespace
}  // namespace morvane::testing
