#include <string>
#include <vector>

#include "tests/engine/engine_test_support.h"

namespace morvane::testing {
namespace {

struct FieldCase {
  std::string value;  // "<none>" for a tag without value
  FieldSpec spec;
  std::string output;
};

FieldSpec Spec(uint32_t loop, uint32_t min, uint32_t max, Align align, char padding) {
  FieldSpec spec;
  spec.loop = loop;
  spec.min = min;
  spec.max = max;
  spec.align = align;
  spec.padding.bytes[0] = padding;
  return spec;
}

constexpr uint32_t kNoMax = 0xFFFFFFFFu;
const std::string kNone = "<none>";

std::string WriteOne(const std::string& value, const FieldSpec& spec, size_t capacity = 256) {
  TagEntry entry;
  if (value != kNone) entry.SetData(value.data(), static_cast<uint32_t>(value.size()));
  std::vector<char> buffer(capacity);
  PassOutput out{buffer.data(), buffer.data() + capacity - 1};
  WriteField(out, entry, spec);
  return std::string(buffer.data(), out.cursor);
}

using FieldOutputTest = EngineTest;

TEST_F(FieldOutputTest, WidthsAlignmentAndLoops) {
  const std::string eof(1, '\0');
  const FieldCase cases[] = {
      {"abc", Spec(1, 6, kNoMax, Align::kCenter, '='), "=abc=="},
      {"abc", Spec(1, 6, kNoMax, Align::kLeft, '='), "abc==="},
      {"abc", Spec(1, 6, kNoMax, Align::kRight, '='), "===abc"},
      {"abc", Spec(1, 5, kNoMax, Align::kCenter, '='), "=abc="},
      {"abc", Spec(1, 6, kNoMax, Align::kLeft, ' '), "abc   "},
      {"42", Spec(1, 5, kNoMax, Align::kRight, '0'), "00042"},
      {"abcdefg", Spec(1, 0, 3, Align::kLeft, ' '), "abc"},
      {"abcdefg", Spec(1, 0, 3, Align::kCenter, ' '), "cde"},
      {"abcdefg", Spec(1, 0, 3, Align::kRight, ' '), "efg"},
      {"abcdefg", Spec(1, 0, 4, Align::kCenter, ' '), "bcde"},
      {"abcdef", Spec(1, 0, 3, Align::kCenter, ' '), "bcd"},
      {"abc", Spec(1, 3, 3, Align::kLeft, ' '), "abc"},
      {"abc", Spec(1, 0, 0, Align::kLeft, ' '), ""},
      {"abc", Spec(3, 0, kNoMax, Align::kLeft, ' '), "abcabcabc"},
      {"abc", Spec(0, 6, kNoMax, Align::kLeft, ' '), ""},
      {"ab", Spec(2, 4, kNoMax, Align::kRight, '-'), "--ab--ab"},
      {kNone, Spec(1, 0, kNoMax, Align::kLeft, ' '), ""},
      {kNone, Spec(1, 4, kNoMax, Align::kCenter, '.'), "...."},
      {eof, Spec(1, 0, kNoMax, Align::kLeft, ' '), eof},
      {eof, Spec(1, 3, kNoMax, Align::kLeft, ' '), eof + "  "},
      {"ab", Spec(1, 4, kNoMax, Align::kRight, '\x81'),
       "\x81\x81"
       "ab"},
      // あいう in code page 932
      {"\x82\xA0\x82\xA2\x82\xA4", Spec(1, 7, kNoMax, Align::kLeft, '='), "\x82\xA0\x82\xA2\x82\xA4="},
      {"\x82\xA0\x82\xA2\x82\xA4", Spec(1, 0, 4, Align::kLeft, ' '), "\x82\xA0\x82\xA2"},
      {"\x82\xA0\x82\xA2\x82\xA4", Spec(1, 0, 4, Align::kRight, ' '), "\x82\xA2\x82\xA4"},
      {"\x82\xA0\x82\xA2\x82\xA4", Spec(1, 0, 3, Align::kRight, ' '), "\xA2\x82\xA4"},
      {"abc", Spec(0xFFFFFFFFu, 0, 0, Align::kLeft, ' '), ""},
      {"", Spec(0xFFFFFFFFu, 0, kNoMax, Align::kLeft, ' '), ""},
  };
  for (const FieldCase& c : cases) EXPECT_EQ(WriteOne(c.value, c.spec), c.output) << c.value;
}

TEST_F(FieldOutputTest, LeadByteWithoutItsTrailBecomesASpace) {
  const FieldCase cases[] = {
      // あいう cut inside い
      {"\x82\xA0\x82\xA2\x82\xA4", Spec(1, 0, 5, Align::kLeft, ' '), "\x82\xA0\x82\xA2 "},
      // 亜亜 keeping 9F 88 9F: the last 9F reads as a lead byte
      {"\x88\x9F\x88\x9F", Spec(2, 0, 3, Align::kRight, ' '), "\x9F\x88 \x9F\x88 "},
      // widened: the value's own bytes are checked, the padding is not
      {"\x82\xA0\x82", Spec(1, 5, kNoMax, Align::kLeft, '\x81'), std::string("\x82\xA0\0\x81\x81", 5)},
  };
  for (const FieldCase& c : cases) EXPECT_EQ(WriteOne(c.value, c.spec), c.output) << c.value;

  UseCodePage(kCodePageNone);
  EXPECT_EQ(WriteOne("\x82\xA0\x82\xA2\x82\xA4", Spec(1, 0, 5, Align::kLeft, ' ')), "\x82\xA0\x82\xA2\x82");
}

TEST_F(FieldOutputTest, OverflowLeavesRoomForTheTerminator) {
  // capacity 8: seven bytes fit before the terminator's slot
  EXPECT_EQ(WriteOne("abcdefg", Spec(1, 0, kNoMax, Align::kLeft, ' '), 8), "abcdefg");
  EXPECT_THROW(WriteOne("abcdefgh", Spec(1, 0, kNoMax, Align::kLeft, ' '), 8), ExpansionOverflow);
  EXPECT_THROW(WriteOne("a", Spec(0xFFFFFFFFu, 0, kNoMax, Align::kLeft, ' '), 8), ExpansionOverflow);
  EXPECT_THROW(WriteOne("a", Spec(1, 0xFFFFFFFFu, kNoMax, Align::kLeft, ' '), 8), ExpansionOverflow);
  EXPECT_THROW(WriteOne("abc", Spec(0x80000000u, 2, 2, Align::kLeft, ' '), 8), ExpansionOverflow);
}

}  // namespace
}  // namespace morvane::testing
