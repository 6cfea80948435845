// The number rule of loop, min and max against the C library's strtoull on the digits.
#include <cerrno>
#include <cstdlib>
#include <memory>

#include "text/text.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

uint32_t Model(const char* text) {
  const char* p = text;
  while (*p == ' ' || (*p >= 0x09 && *p <= 0x0D)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  // strtoull would take white space and a sign again; the rule reads digits (or 0x) right away.
  const bool digitFollows = (*p >= '0' && *p <= '9') || (*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z');
  if (!digitFollows) return 0;
  errno = 0;
  const unsigned long long value = std::strtoull(p, nullptr, 0);
  if (errno == ERANGE || value > 0xFFFFFFFFull) return 0xFFFFFFFFu;
  return negative ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::unique_ptr<char[]> text = morvane::fuzz::TextOf(data, size);
  FUZZ_CHECK(morvane::ParseNumber(text.get()) == Model(text.get()));
  return 0;
}
