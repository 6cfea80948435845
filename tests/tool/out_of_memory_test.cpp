// An allocation that fails while the built-ins are defined ends the run with the shared message.
#include <gtest/gtest.h>

#include <new>

#include "engine/tag_table.h"
#include "tests/support/failing_allocator.h"
#include "tests/tool/temp_dir.h"
#include "tool/update_run.h"

namespace morvane {
namespace {

TEST(UpdateRunOutOfMemory, WhileTheBuiltinsAreDefined) {
  TempDir dir;
  OutputBufferScope buffer;
  const std::string main = dir.Write("m.txt", "never read");
  int messages = 0;
  bool expansionMessage = false;
  ReportError report = [&](const ToolMessage& message) {
    ++messages;
    expansionMessage = std::string(message.text) == kExpansionFailed;
  };
  // The first value block of the run is _eof's: its allocation fails.
  testing::gAllocationsUntilFailure = 0;
  UpdateResult result = UpdateRun("", main.c_str(), report);
  testing::gAllocationsUntilFailure = -1;
  EXPECT_FALSE(result.completed);
  EXPECT_TRUE(result.rows.empty());
  EXPECT_EQ(messages, 1);
  EXPECT_TRUE(expansionMessage);
  EXPECT_TRUE(buffer.AllZero());
  ASSERT_NE(gTagTable.Find("_eof"), nullptr);
  EXPECT_EQ(gTagTable.Find("_eof")->data, nullptr);
  EXPECT_EQ(gTagTable.Find("_crlf"), nullptr);

  // The next run is whole again.
  result = UpdateRun("", main.c_str(), report);
  EXPECT_TRUE(result.completed);
  EXPECT_STREQ(OutputBuffer, "never read");
}

}  // namespace
}  // namespace morvane
