// Shared fixtures of the engine tests: a chosen code page, an emptied table, and expansion into a string.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "engine/expand.h"
#include "engine/tag_table.h"
#include "tests/text/text_test_support.h"
#include "text/text.h"

namespace morvane::testing {

// Expands `text` with a destination; nullopt when ExpandText fails.
std::optional<std::string> Expand(const std::string& text, uint32_t size = kTextBufferSize);

// The value of a tag as stored (length bytes), or nullopt when there is no such tag.
std::optional<std::string> ValueOf(const char* name);

// Defines tags with data values, failing the test on refusal.
void DefineAll(std::initializer_list<std::pair<const char*, const char*>> tags);

// Fills every free entry with a tag named "fill<index>".
void FillTable();

// Checks the table's invariants: names below 32 bytes, value blocks ending in 0, no two equal names.
void ExpectTableConsistent();

// Every test starts with an empty table under the code page it names.
class EngineTest : public ::testing::Test {
 protected:
  void UseCodePage(int codePage) { ASSERT_TRUE(SetActiveCodePage(codePage)); }
  void SetUp() override {
    SetActiveCodePage(kCodePage932);
    gTagTable.ClearAll();
  }
  void TearDown() override {
    gTagTable.ClearAll();
    SetActiveCodePage(kCodePage932);
  }
};

}  // namespace morvane::testing
