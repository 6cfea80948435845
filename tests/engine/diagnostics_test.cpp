// What the engine tells a caller that asks: why an expansion failed, and what the language dropped, ignored
// or partly applied (the notices an observer hears).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/expand.h"
#include "tests/engine/engine_test_support.h"

namespace morvane::testing {
namespace {

class DiagnosticsTest : public EngineTest {
 protected:
  void TearDown() override {
    SetWorkBudget(WorkBudget{});
    SetExpansionObserver(ExpansionObserver{});
    EngineTest::TearDown();
  }
};

TEST_F(DiagnosticsTest, FailuresTellTheirReason) {
  const struct {
    const char* text;
    WorkBudget budget;
    ExpansionFailure reason;
    const char* tag;
    uint64_t bytes;
  } cases[] = {
      {"[self data=\"[self]\"][self]", {}, ExpansionFailure::kUnchangedPass, "self", 0},
      {"[x]\\[", {}, ExpansionFailure::kNone, "", 0},  // succeeds: the record is cleared
      // A runaway names the tag whose value keeps the passes going: the first in the last pass's text that
      // is expanded again and holds a '['.
      {"[a data=\"[b]\"][b data=\"[a]\"][a]", {}, ExpansionFailure::kTooManyPasses, "b", 0},
      {"[t data=\"[d data=\\\"1\\\"][t]\"][t]",
       {3, kMaxPassBytes, kMaxPassTags},
       ExpansionFailure::kTooManyPasses,
       "t",
       0},
      {"[s data=\"again [s]\"][s]", {}, ExpansionFailure::kTooMuchText, "s", 0},
      // Values that only multiply expressions, none of them written again: no tag to blame.
      {"[e data=\"\"][x data=\"[e][e][e][e]\"][x][x][x][x]",
       {kMaxPasses, kMaxPassBytes, 8},
       ExpansionFailure::kTooManyExpressions,
       "",
       0},
      {"[grow data=\"[grow][grow]\"][grow]", {}, ExpansionFailure::kResultTooLarge, "grow", 12},
      {"[s data=\"x\"][s min=\"-1\"]", {}, ExpansionFailure::kFieldTooLarge, "s", 4294967295u},
      {"[s data=\"ab\"][s loop=\"600000\"]", {}, ExpansionFailure::kFieldTooLarge, "s", 1200000},
      {"[x data=\"[x][x]\"][x]", {kMaxPasses, 64, kMaxPassTags}, ExpansionFailure::kTooMuchText, "x", 0},
      {"[x data=\"[x][x]\"][x]",
       {kMaxPasses, kMaxPassBytes, 8},
       ExpansionFailure::kTooManyExpressions,
       "x",
       0},
      // A literal value is never expanded again, whatever brackets it holds.
      {"[a data=\"[b][a]\"][b data=\"[a]\" literal=\"yes\"][a]",
       {kMaxPasses, 200, kMaxPassTags},
       ExpansionFailure::kTooMuchText,
       "a",
       0},
  };
  for (const auto& c : cases) {
    gTagTable.ClearAll();
    SetWorkBudget(c.budget);
    const bool succeeded = Expand(c.text).has_value();
    const ExpansionFailureRecord& failure = LastExpansionFailure();
    EXPECT_EQ(succeeded, c.reason == ExpansionFailure::kNone) << c.text;
    EXPECT_EQ(failure.reason, c.reason) << c.text;
    EXPECT_STREQ(failure.tag, c.tag) << c.text;
    if (c.bytes != 0) {
      EXPECT_EQ(failure.bytes, c.bytes) << c.text;
    }
  }
}

struct Heard {
  ExpansionEvent event;
  size_t at;  // offset in the text
  uint32_t pass;
  std::string name;
  std::string word;
  std::string keyword;
  uint32_t number;
};

class NoticesTest : public DiagnosticsTest {
 protected:
  // Expands `text` for its definitions, as a header is: its first pass reads it where it stands.
  std::vector<Heard> Listen(const std::string& text) {
    heard_.clear();
    std::vector<char> source(text.begin(), text.end());
    source.push_back('\0');
    text_ = source.data();
    SetExpansionObserver(ExpansionObserver{&NoticesTest::Record, this});
    ExpandText(nullptr, source.data(), kTextBufferSize);
    SetExpansionObserver(ExpansionObserver{});
    return heard_;
  }

 private:
  static void Record(void* self, const ExpansionNotice& notice) {
    auto* test = static_cast<NoticesTest*>(self);
    // Offsets only mean something in the first pass, which reads the text where it stands.
    const size_t at = notice.pass == 1 ? static_cast<size_t>(notice.at - test->text_) : 0;
    test->heard_.push_back({notice.event, at, notice.pass, notice.name, notice.word ? notice.word : "",
                            notice.keyword ? notice.keyword : "", notice.number});
  }

  const char* text_ = nullptr;
  std::vector<Heard> heard_;
};

TEST_F(NoticesTest, WhatTheLanguageDropsIgnoresOrPartlyApplies) {
  using E = ExpansionEvent;
  const struct {
    std::string text;
    Heard expected;  // the first notice
    size_t count = 1;
  } cases[] = {
      {"a [none] b", {E::kMissingTag, 2, 1, "none", "none", "", 0}},
      {"[x dta=\"v\"]", {E::kUnknownWord, 3, 1, "x", "dta", "", 0}, 2},           // then x is missing
      {"[x data]", {E::kWordWithoutValue, 3, 1, "x", "data", "", 0}, 2},          // then x is missing
      {"[x data =\"v\"]", {E::kSpaceBeforeEquals, 3, 1, "x", "data", "", 0}, 2},  // then x is missing
      {"[x data= \"v\"]", {E::kSpaceAfterEquals, 8, 1, "x", "", "data", 0}},
      {"[x data=v]", {E::kUnquotedValue, 8, 1, "x", "", "data", 0}},
      {"[x data=\"v\"][x min=\"010\"]", {E::kNumber, 19, 1, "x", "010", "min", 8}},
      {"[x data=\"v\"][x loop=\"-1\"]", {E::kNumber, 20, 1, "x", "-1", "loop", 4294967295u}},
      {"[x data=\"v\"][x max=\"3rd\"]", {E::kNumber, 19, 1, "x", "3rd", "max", 3}},
      {"[x data=\"v\"][x align=\"rigth\"]", {E::kBadChoice, 21, 1, "x", "rigth", "align", 0}},
      {"[x readonly=\"maybe\"]", {E::kBadChoice, 12, 1, "x", "maybe", "readonly", 0}},
      // Code page 932 pads with bytes: a full-width asterisk gives its lead byte alone.
      {"[x data=\"v\"][x min=\"3\" padding=\"\x81\x96\"]",
       {E::kDoubleBytePadding, 31, 1, "x", "\x81\x96", "padding", 0}},
      {"[x data=\"open", {E::kUnclosedQuote, 8, 1, "x", "", "", 0}, 2},  // and so the expression
      {"[x data=\"v\"", {E::kUnclosedExpression, 0, 1, "x", "", "", 0}},
      {"[" + std::string(32, 'n') + "]", {E::kLongName, 0, 1, std::string(31, 'n'), "", "", 0}},
      {"[x data=\"v\" readonly=\"yes\"][x data=\"w\"]", {E::kReadOnly, 35, 1, "x", "", "data", 0}},
      {"[x datafile=\"\\no-such-file.txt\"]",
       {E::kDatafileUnreadable, 12, 1, "x", "\\no-such-file.txt", "", 0}},
      {"[x data=\"v\"][x literal=\"sure\"]", {E::kBadChoice, 23, 1, "x", "sure", "literal", 0}},
      // literal= with no value set: a reference, a mark alone, a datafile that cannot be read
      {"[x data=\"v\"][x literal=\"yes\"]", {E::kLiteralIgnored, 23, 1, "x", "yes", "literal", 0}},
      {"[x readonly=\"yes\" literal=\"no\"]", {E::kLiteralIgnored, 26, 1, "x", "no", "literal", 0}},
      {"[x datafile=\"\\no-such-file.txt\" literal=\"yes\"]",
       {E::kDatafileUnreadable, 12, 1, "x", "\\no-such-file.txt", "", 0},
       2},
      // on a read-only tag the refused value is told, and that covers its literal=
      {"[x data=\"v\" readonly=\"yes\"][x data=\"w\" literal=\"yes\"]",
       {E::kReadOnly, 35, 1, "x", "", "data", 0}},
  };
  for (const auto& c : cases) {
    gTagTable.ClearAll();
    const std::vector<Heard> heard = Listen(c.text);
    ASSERT_EQ(heard.size(), c.count) << c.text;
    const Heard& h = heard[0];
    const Heard& e = c.expected;
    EXPECT_EQ(h.event, e.event) << c.text;
    EXPECT_EQ(h.at, e.at) << c.text;
    EXPECT_EQ(h.pass, e.pass) << c.text;
    EXPECT_EQ(h.name, e.name) << c.text;
    EXPECT_EQ(h.word, e.word) << c.text;
    EXPECT_EQ(h.keyword, e.keyword) << c.text;
    EXPECT_EQ(h.number, e.number) << c.text;
  }
}

TEST_F(NoticesTest, PlainTextsAndTheRemainsOfANoticedValueStaySilent) {
  const char* silent[] = {
      "[x data=\"v\" min=\"0\" max=\"10\" loop=\"2\" align=\"center\" padding=\"-\" readonly=\"no\"][x]",
      "[x data=\"v\"][x min=\"4294967295\"]",
      "no tags at all, \\[ an escape",
      "[x data=\"v\"][x min=\"3\" padding=\"\xB1\"]",  // a half-width katakana is one byte
      "[x literal=\"yes\" data=\"[v]\"][x][x data=\"v\" literal=\"NO\"]",
  };
  for (const char* text : silent) {
    gTagTable.ClearAll();
    EXPECT_TRUE(Listen(text).empty()) << text;
  }
  // utf-8 pads with whole characters.
  UseCodePage(kCodePageUtf8);
  gTagTable.ClearAll();
  EXPECT_TRUE(Listen(U8(u8"[x data=\"v\"][x min=\"3\" padding=\"＊\"]")).empty());
  UseCodePage(kCodePage932);
  // One notice for a word that is no keyword, none for the words its value splits into.
  gTagTable.ClearAll();
  EXPECT_EQ(Listen("[x note=\"a b c\" data=\"v\"]").size(), 1u);
  // Its value's ']' ends the expression, which then names a missing tag.
  gTagTable.ClearAll();
  const std::vector<Heard> heard = Listen("[x note=\"a]b\" data=\"v\"]");
  ASSERT_EQ(heard.size(), 2u);
  EXPECT_EQ(heard[0].event, ExpansionEvent::kUnknownWord);
  EXPECT_EQ(heard[1].event, ExpansionEvent::kMissingTag);
}

// A value that max cuts is told with the width and the value's length, at the max= value; a quoted value
// that took in a ']' or a line break and is closed right before more of a word is told at its opening quote.
TEST_F(NoticesTest, CutsAndQuotesThatRunOn) {
  using E = ExpansionEvent;
  const struct {
    int codePage;
    std::string text;
    std::vector<E> events;  // every notice, in order
    size_t at;              // of the first
    uint32_t number;        // cut: the width
    uint32_t length;        // cut: the value's length
    size_t until;           // run-on: the quote that closed the value
  } cases[] = {
      {kCodePage932, "[a data=\"12345678901\"][a max=\"10\" align=\"right\"]", {E::kCut}, 29, 10, 11, 0},
      {kCodePage932, "[a data=\"abc\"][a max=\"0\"]", {E::kCut}, 21, 0, 3, 0},
      {kCodePage932, "[a data=\"abc\"][a max=\"3\"][a max=\"9\" min=\"5\"]", {}, 0, 0, 0, 0},
      {kCodePage932, "[a data=\"abc\"][a min=\"5\" max=\"2\"][a max=\"1\" loop=\"0\"]", {}, 0, 0, 0, 0},
      {kCodePage932, "[a data=\"\x95\x5c\x8e\xa6\"][a max=\"3\"]", {E::kCut}, 22, 3, 4, 0},
      {kCodePageUtf8, U8(u8"[a data=\"日本語\"][a max=\"4\"]"), {E::kCut}, 27, 4, 6, 0},
      {kCodePageUtf8, U8(u8"[a data=\"日本\"][a max=\"4\"]"), {}, 0, 0, 0, 0},
      {kCodePage932, "[x data=\"a b] [y data=\"c\"]", {E::kQuoteRunsOn}, 8, 0, 0, 22},
      {kCodePage932, "[x data=\"a\n[y data=\"c\" min=\"08\"]", {E::kQuoteRunsOn, E::kNumber}, 8, 0, 0, 19},
      // Closed before a space, a ']' or a line break: a value that holds them, as it may.
      {kCodePage932, "[x data=\"a] b\" y=\"z\"]", {E::kUnknownWord}, 15, 0, 0, 0},
      {kCodePage932, "[x data=\"one\ntwo\"]", {}, 0, 0, 0, 0},
      // A bracket alone is enough; attributes written without a space between them are no run-on.
      {kCodePage932, "[x data=\"abc [y data=\"v\"]", {E::kQuoteRunsOn}, 8, 0, 0, 21},
      {kCodePage932, "[x data=\"[b]\"min=\"1\"]", {}, 0, 0, 0, 0},
      {kCodePage932, "[x data=\"one\ntwo\"loop=\"2\"]", {}, 0, 0, 0, 0},
      // A second byte 0x5D is no ']'.
      {kCodePage932, "[x data=\"\x83\x5d\"min=\"1\"]", {}, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    UseCodePage(c.codePage);
    gTagTable.ClearAll();
    std::vector<ExpansionNotice> heard;  // the name as read is the expression's own, copied in `names`
    std::vector<std::string> names;
    std::vector<char> source(c.text.begin(), c.text.end());
    source.push_back('\0');
    struct Listener {
      std::vector<ExpansionNotice>* heard;
      std::vector<std::string>* names;
      static void Hear(void* self, const ExpansionNotice& notice) {
        static_cast<Listener*>(self)->heard->push_back(notice);
        static_cast<Listener*>(self)->names->push_back(notice.name);
      }
    } listener{&heard, &names};
    SetExpansionObserver(ExpansionObserver{&Listener::Hear, &listener});
    ExpandText(nullptr, source.data(), kTextBufferSize);
    SetExpansionObserver(ExpansionObserver{});
    std::vector<E> events;
    for (const ExpansionNotice& notice : heard) events.push_back(notice.event);
    EXPECT_EQ(events, c.events) << c.text;
    if (heard.empty() || events != c.events) continue;
    EXPECT_EQ(static_cast<size_t>(heard[0].at - source.data()), c.at) << c.text;
    if (c.events[0] == E::kCut) {
      EXPECT_EQ(heard[0].number, c.number) << c.text;
      EXPECT_EQ(heard[0].length, c.length) << c.text;
      EXPECT_EQ(names[0], "a") << c.text;
    }
    if (c.events[0] == E::kQuoteRunsOn) {
      EXPECT_EQ(static_cast<size_t>(heard[0].until - source.data()), c.until) << c.text;
    }
  }
}

TEST_F(NoticesTest, LaterPassesAreNumbered) {
  const std::vector<Heard> heard = Listen("[v data=\"[gone]\"][v]");
  ASSERT_EQ(heard.size(), 1u);
  EXPECT_EQ(heard[0].event, ExpansionEvent::kMissingTag);
  EXPECT_EQ(heard[0].pass, 2u);
  EXPECT_EQ(heard[0].name, "gone");
}

TEST_F(NoticesTest, AFullTableLeavesItsBracketAndSaysSo) {
  FillTable();
  const std::vector<Heard> heard = Listen("[new data=\"v\"]");
  ASSERT_FALSE(heard.empty());
  EXPECT_EQ(heard[0].event, ExpansionEvent::kTableFull);
  EXPECT_EQ(heard[0].at, 0u);
}

}  // namespace
}  // namespace morvane::testing
