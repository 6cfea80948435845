// ParseQuoted against a plain model of the quoted-value rule, with destinations of every small size.
// Input: one control byte (bit 0: code page 932 or none; bits 1-7: destination size, 0 meaning ample), then
// the text that follows the '='.
#include <cstring>
#include <memory>
#include <string>

#include "engine/expand.h"
#include "text/text.h"
#include "tests/fuzz/fuzz_support.h"

namespace morvane::fuzz {
namespace {

struct Quoted {
  std::string value;
  size_t end;  // offset where scanning goes on
};

Quoted Model(const char* in) {
  if (in[0] != '"') return {"", 0};
  std::string value;
  size_t i = 1;
  for (;;) {
    if (in[i] == '\0') return {value, i};
    if (in[i] == '"') return {value, i + 1};
    if (in[i] == '\\') {
      if (in[i + 1] == '"') {
        value += '"';
        i += 2;
      } else {
        value += '\\';
        i += 1;
      }
      continue;
    }
    const bool pair = IsLeadByte(static_cast<unsigned char>(in[i])) && in[i + 1] != '\0';
    value.append(in + i, pair ? 2 : 1);
    i += pair ? 2 : 1;
  }
}

}  // namespace
}  // namespace morvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace morvane;
  using namespace morvane::fuzz;
  if (size == 0) return 0;
  const std::unique_ptr<char[]> text = TextAfterCodePageByte(data, size);
  const uint32_t destSize = (data[0] >> 1) != 0 ? (data[0] >> 1) : static_cast<uint32_t>(size);
  const std::unique_ptr<char[]> dest(new char[destSize]);

  const Quoted expected = Model(text.get());
  bool overflowed = false;
  const char* end = nullptr;
  try {
    end = ParseQuoted(text.get(), dest.get(), destSize);
  } catch (const ExpansionOverflow&) {
    overflowed = true;
  }
  // Only a value that cannot fit with its terminator overflows; the ample destination never does.
  FUZZ_CHECK(overflowed == (expected.value.size() + 1 > destSize));
  if (overflowed) return 0;
  FUZZ_CHECK(end == text.get() + expected.end);
  FUZZ_CHECK(std::memcmp(dest.get(), expected.value.data(), expected.value.size() + 1) == 0);
  return 0;
}
