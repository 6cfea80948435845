// Fails each allocation of a whole update run in turn (built-ins, header, main, the rows): every failure ends
// in the one shared message, an empty result and a consistent table, and the next run is whole again.
#include <gtest/gtest.h>

#include <new>
#include <string>

#include "engine/expand.h"
#include "engine/tag_table.h"
#include "tests/engine/engine_test_support.h"
#include "tests/support/failing_allocator.h"
#include "tests/tool/temp_dir.h"
#include "tool/update_run.h"

namespace morvane {
namespace {

using testing::gAllocationsMade;
using testing::gAllocationsUntilFailure;

// Messages of one run, kept without allocating.
struct Messages {
  const char* texts[4] = {};
  int count = 0;
};

TEST(UpdateRunFaults, EveryAllocationFailureEndsInTheMessage) {
  TempDir dir;
  OutputBufferScope buffer;
  dir.Write("parts/value.txt", "from a file");
  // Tag names of 16 bytes and more, so the rows allocate their strings too.
  const std::string header = dir.Write("header.txt",
                                       "[a_long_tag_name_of_28_bytes datafile=\"\\parts\\value.txt\"][b "
                                       "data=\"[a_long_tag_name_of_28_bytes]\"]");
  const std::string main = dir.Write("main.txt", "<[b]>[c data=\"[b][b]\"][c loop=\"2\"] \\[x]");
  const char* const expected = "<from a file>from a filefrom a filefrom a filefrom a file [x]";

  Messages messages;
  const ReportError report = [&messages](const ToolMessage& message) {
    if (messages.count < 4) messages.texts[messages.count] = message.text;
    ++messages.count;
  };

  gAllocationsMade = 0;
  UpdateResult clean = UpdateRun(header.c_str(), main.c_str(), report);
  const long total = gAllocationsMade;
  ASSERT_TRUE(clean.completed);
  ASSERT_EQ(messages.count, 0);
  ASSERT_STREQ(OutputBuffer, expected);
  const size_t rows = clean.rows.size();
  clean = UpdateResult();
  ASSERT_GT(total, 40);  // 27 built-ins, two expansions of three buffers, four values, the rows

  for (long n = 0; n < total; ++n) {
    messages = Messages();
    UpdateResult result;
    gAllocationsUntilFailure = n;
    try {
      result = UpdateRun(header.c_str(), main.c_str(), report);
    } catch (const std::bad_alloc&) {
      ADD_FAILURE() << "allocation " << n << " escaped the update run";
    }
    gAllocationsUntilFailure = -1;
    EXPECT_FALSE(result.completed) << "allocation " << n;
    EXPECT_TRUE(result.rows.empty()) << "allocation " << n;
    ASSERT_EQ(messages.count, 1) << "allocation " << n;
    EXPECT_STREQ(messages.texts[0], kExpansionFailed) << "allocation " << n;
    EXPECT_TRUE(buffer.AllZero()) << "allocation " << n;
    EXPECT_EQ(ScratchBuffer, nullptr) << "allocation " << n;
    testing::ExpectTableConsistent();
  }

  messages = Messages();
  const UpdateResult again = UpdateRun(header.c_str(), main.c_str(), report);
  EXPECT_TRUE(again.completed);
  EXPECT_EQ(again.rows.size(), rows);
  EXPECT_STREQ(OutputBuffer, expected);
}

}  // namespace
}  // namespace morvane
