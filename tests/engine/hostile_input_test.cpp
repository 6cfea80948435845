// Hostile texts and files: each must end in a result or a clean failure, never a hang or a broken table.
#include <string>

#include "tests/engine/engine_test_support.h"

namespace morvane::testing {
namespace {

using HostileInputTest = EngineTest;

// A chain t0 -> t1 -> ... -> t<length-1> whose last tag is empty, then `refs` references to t0: the text
// needs length + 1 passes, handling `refs` tag expressions in each.
std::string Chain(int length, int refs, const std::string& padding = "") {
  std::string text;
  for (int i = 0; i + 1 < length; ++i) {
    text += "[t" + std::to_string(i) + " data=\"[t" + std::to_string(i + 1) + "]\"]";
  }
  text += "[t" + std::to_string(length - 1) + " data=\"\"]";
  for (int i = 0; i < refs; ++i) text += "[t0]";
  return text + padding;
}

TEST_F(HostileInputTest, PassesOverALargeTextAreBoundedInBytes) {
  // Each pass reads the padding again: 30 passes over 1 MiB fit the budget, 40 do not.
  const std::string padding(kTextBufferSize - 4096, 'x');
  EXPECT_EQ(Expand(Chain(29, 1, padding)), padding);
  gTagTable.ClearAll();
  EXPECT_EQ(Expand(Chain(39, 1, padding)), std::nullopt);
  EXPECT_EQ(ScratchBuffer, nullptr);
  ExpectTableConsistent();
}

TEST_F(HostileInputTest, PassesAreBoundedInTagExpressions) {
  // 50 passes over 40,000 references fit the budget; over 43,000 they do not.
  EXPECT_EQ(Expand(Chain(50, 40000)), "");
  gTagTable.ClearAll();
  EXPECT_EQ(Expand(Chain(50, 43000)), std::nullopt);
  EXPECT_EQ(ValueOf("t49"), "");
  ExpectTableConsistent();
}

TEST_F(HostileInputTest, SmallTextsStillGetEveryPass) {
  // A thousand passes over a short text stay within both budgets.
  EXPECT_EQ(Expand(Chain(1000, 1) + "end"), "end");
}

}  // namespace
}  // namespace morvane::testing
