// The pass copies plain runs a word at a time, skips passes that would meet no tag, and field output checks
// lead bytes only from the first byte of 0x80 on. These tests hold the fast paths to the character rules,
// at every offset within a word.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tests/engine/engine_test_support.h"

namespace morvane::testing {
namespace {

class BulkPathsTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    scratch_.reset(new char[kTextBufferSize]);
    ScratchBuffer = scratch_.get();
    gScratchBufferSize = kTextBufferSize;
  }
  void TearDown() override {
    ScratchBuffer = nullptr;
    gScratchBufferSize = 0;
    EngineTest::TearDown();
  }

  // One pass by the character rules, for a text in which no '[' starts a tag expression; nullopt when one
  // does.
  static std::optional<std::string> ReferencePass(const std::string& text, bool isFinal) {
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
      const char c = text[i];
      if (c == '[') return std::nullopt;
      if (c == '\\' && i + 1 < text.size() && text[i + 1] == '[') {
        if (!isFinal) out += '\\';
        out += '[';
        i += 2;
      } else if (c != '\\' && IsLeadByte(static_cast<unsigned char>(c)) && i + 1 < text.size()) {
        out.append(text, i, 2);
        i += 2;
      } else {
        out += c;
        ++i;
      }
    }
    return out;
  }

  // The pass from an input of exactly the text's size, so a read past its terminator is caught by ASan.
  static std::string RunPass(const std::string& text, int isFinal) {
    std::unique_ptr<char[]> input(new char[text.size() + 1]);
    std::memcpy(input.get(), text.c_str(), text.size() + 1);
    std::vector<char> output(text.size() + 2);
    ExpandPass(output.data(), static_cast<uint32_t>(output.size()), input.get(), isFinal);
    return output.data();
  }

 private:
  std::unique_ptr<char[]> scratch_;
};

// Every stop byte at every offset of a run, behind plain runs of 0 to 19 bytes.
TEST_F(BulkPathsTest, StopBytesAtEveryOffset) {
  const std::string stops[] = {"\\[", "\\x", "\x83\x5B", "\x95\x5C", "\x81\x81", "\xE0\x40", "\x81"};
  for (int codePage : {kCodePage932, kCodePageNone}) {
    UseCodePage(codePage);
    for (const std::string& stop : stops) {
      for (size_t before = 0; before < 20; ++before) {
        for (size_t after : {0, 1, 7, 8, 9}) {
          const std::string text = std::string(before, 'a') + stop + std::string(after, 'b');
          const auto ordinary = ReferencePass(text, false);
          if (!ordinary) continue;  // a '[' that starts a tag under this code page
          EXPECT_EQ(RunPass(text, 0), *ordinary) << codePage << " " << before << " " << after;
          EXPECT_EQ(RunPass(text, 1), *ReferencePass(text, true))
              << codePage << " " << before << " " << after;
        }
      }
    }
  }
}

// Random texts over bytes that matter to the stepping: the pass agrees with the character rules, and so
// does a whole expansion, into another buffer and in place.
TEST_F(BulkPathsTest, RandomTextsWithoutTags) {
  const unsigned char alphabet[] = {'a', 'b', ' ', '\\', '[', 0x81, 0x9F, 0xE0, 0x5C, 0x40, 0xA0, 0xFF};
  uint32_t state = 777;
  auto next = [&](uint32_t bound) {
    state = state * 1103515245u + 12345u;
    return (state >> 16) % bound;
  };
  int checked = 0;
  for (int codePage : {kCodePage932, kCodePageNone}) {
    UseCodePage(codePage);
    for (int round = 0; round < 3000; ++round) {
      std::string text;
      const uint32_t length = next(48);
      for (uint32_t i = 0; i < length; ++i) {
        // Mostly letters, so that long plain runs occur.
        text += next(3) == 0 ? static_cast<char>(alphabet[next(sizeof alphabet)]) : 'a';
      }
      const auto ordinary = ReferencePass(text, false);
      if (!ordinary) continue;
      ++checked;
      ASSERT_EQ(RunPass(text, 0), *ordinary) << round;
      const std::string final = *ReferencePass(text, true);
      ASSERT_EQ(RunPass(text, 1), final) << round;
      ASSERT_EQ(Expand(text, 256), final) << round;
      std::string buffer = text;
      buffer.resize(256, '\0');
      ASSERT_EQ(ExpandText(buffer.data(), buffer.data(), 256), 1);
      ASSERT_STREQ(buffer.c_str(), final.c_str()) << round;
    }
  }
  EXPECT_GT(checked, 2000);
}

// Texts whose only brackets are literal ones (the table is full): the passes end, and the final pass
// still resolves the escapes behind them.
TEST_F(BulkPathsTest, LiteralBracketsAndEscapesAfterThem) {
  FillTable();
  EXPECT_EQ(Expand("[new data=\"v\"] \\[x] plain text \\[y"), "[new data=\"v\"] [x] plain text [y");
  std::string buffer = "0123456789 [another data=\"1\"] \\[";
  buffer.resize(kTextBufferSize, '\0');
  ASSERT_EQ(ExpandText(buffer.data(), buffer.data(), kTextBufferSize), 1);
  EXPECT_STREQ(buffer.c_str(), "0123456789 [another data=\"1\"] [");
}

// Field output turns a lead byte that lost its partner into a space; plain bytes before it, in whole
// words or not, change nothing of that.
TEST_F(BulkPathsTest, CutLeadBytesBehindPlainRuns) {
  for (size_t plain = 0; plain < 20; ++plain) {
    const std::string value = std::string(plain, 'p') + "\x82\xA0\x82\xA2";  // あい
    for (uint32_t max = 0; max <= value.size(); ++max) {
      std::string expected = value.substr(0, max);
      if (max == plain + 1 || max == plain + 3) expected.back() = ' ';
      TagEntry entry;
      entry.SetData(value.data(), static_cast<uint32_t>(value.size()));
      FieldSpec spec;
      spec.max = max;
      std::vector<char> buffer(64);
      PassOutput out{buffer.data(), buffer.data() + buffer.size() - 1};
      WriteField(out, entry, spec);
      EXPECT_EQ(std::string(buffer.data(), out.cursor), expected) << plain << " " << max;
    }
  }
}

}  // namespace
}  // namespace morvane::testing
