// Shared helpers of the tests of the character model: UTF-8 literals as bytes, and a chosen code page.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "text/text.h"

namespace morvane::testing {

// A UTF-8 literal as bytes. u8 literals stay UTF-8 also where plain literals are compiled into code page 932.
inline std::string U8(const char8_t* text) {
  return reinterpret_cast<const char*>(text);
}

// Every test starts under code page 932 and may choose another; the next test finds 932 again.
class CodePageTest : public ::testing::Test {
 protected:
  void UseCodePage(int codePage) { ASSERT_TRUE(SetActiveCodePage(codePage)); }
  void SetUp() override { SetActiveCodePage(kCodePage932); }
  void TearDown() override { SetActiveCodePage(kCodePage932); }
};

}  // namespace morvane::testing
