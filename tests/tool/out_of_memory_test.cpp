// An allocation that fails while the built-ins are defined ends the run with the shared message.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "engine/tag_table.h"
#include "tests/tool/temp_dir.h"
#include "tool/update_run.h"

namespace {

// Counts down allocations; the one that reaches zero fails, once.
int gAllocationsBeforeFailure = -1;

void* Allocate(std::size_t size) {
  if (gAllocationsBeforeFailure >= 0 && gAllocationsBeforeFailure-- == 0) throw std::bad_alloc();
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

}  // namespace

void* operator new(std::size_t size) {
  return Allocate(size);
}
void* operator new[](std::size_t size) {
  return Allocate(size);
}
void operator delete(void* block) noexcept {
  std::free(block);
}
void operator delete[](void* block) noexcept {
  std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
  std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
  std::free(block);
}

namespace morvane {
namespace {

TEST(UpdateRunOutOfMemory, WhileTheBuiltinsAreDefined) {
  TempDir dir;
  OutputBufferScope buffer;
  const std::string main = dir.Write("m.txt", "never read");
  int messages = 0;
  bool expansionMessage = false;
  ReportError report = [&](const char* message) {
    ++messages;
    expansionMessage = std::string(message) == kExpansionFailed;
  };
  // The first value block of the run is _eof's: its allocation fails.
  gAllocationsBeforeFailure = 0;
  UpdateResult result = UpdateRun("", main.c_str(), report);
  gAllocationsBeforeFailure = -1;
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
