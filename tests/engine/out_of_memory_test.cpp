// Fails the n-th allocation of a sample expansion for every n it reaches.
#include <new>
#include <string>

#include "tests/engine/engine_test_support.h"
#include "tests/support/failing_allocator.h"

namespace morvane::testing {
namespace {

using OutOfMemoryTest = EngineTest;

const char kSample[] =
    "[a data=\"1\"][b data=\"[a][a]\"][c readonly=\"yes\"][b loop=\"2\"] \\[x] [d data=\"[b]\"][d min=\"9\"]";

TEST_F(OutOfMemoryTest, EveryAllocationFailureEndsInZero) {
  // Count the allocations of a clean run first.
  std::string buffer(kTextBufferSize, '\0');
  buffer.replace(0, sizeof kSample - 1, kSample);
  gAllocationsMade = 0;
  ASSERT_EQ(ExpandText(buffer.data(), buffer.data(), kTextBufferSize), 1);
  const long total = gAllocationsMade;
  ASSERT_EQ(total, 6);  // three buffers and the values of a, b and d

  for (long n = 0; n < total; ++n) {
    gTagTable.ClearAll();
    buffer.assign(kTextBufferSize, '\0');
    buffer.replace(0, sizeof kSample - 1, kSample);
    gAllocationsUntilFailure = n;
    const int result = ExpandText(buffer.data(), buffer.data(), kTextBufferSize);
    gAllocationsUntilFailure = -1;
    EXPECT_EQ(result, 0) << "allocation " << n;
    EXPECT_EQ(ScratchBuffer, nullptr) << "allocation " << n;
    EXPECT_STREQ(buffer.c_str(), kSample) << "allocation " << n;
    ExpectTableConsistent();
  }
}

TEST_F(OutOfMemoryTest, FailedValueKeepsTheEntryWithoutValue) {
  DefineAll({{"x", "old"}});
  gAllocationsUntilFailure = 0;
  EXPECT_THROW(gTagTable.Define("x", "new", 3), std::bad_alloc);
  gAllocationsUntilFailure = -1;
  const TagEntry* entry = gTagTable.Find("x");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->data, nullptr);
  EXPECT_EQ(entry->length, 0u);
  EXPECT_EQ(entry->flags, TAG_IN_USE);
}

}  // namespace
}  // namespace morvane::testing
