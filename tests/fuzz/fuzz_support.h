// Shared checks of the fuzz harnesses: a failed check prints what broke and aborts, which libFuzzer reports
// as a crash with the input that caused it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/expand.h"

namespace morvane::fuzz {

// The work budget of the expansion harnesses (256 passes, 128 KiB read, 512 tag expressions). Under the
// sanitizers the product's own lets one input take seconds; these bound one to a few milliseconds (each tag
// expression looks the whole table through) while every bound stays within reach of a few kilobytes.
inline constexpr WorkBudget kFuzzBudget{256, 128u << 10, 512};

// The 27 built-in variables from one fixed reading, as every update run begins.
void DefineFixedBuiltins();

[[noreturn]] void Fail(const char* file, int line, const char* what);

#define FUZZ_CHECK(condition) \
  ((condition) ? static_cast<void>(0) : ::morvane::fuzz::Fail(__FILE__, __LINE__, #condition))

// The tag table's invariants for one entry: an unused entry is all zero; an entry in use has a name under 32
// bytes, only the two known flags, and a value block with 0 at `length` (or no block and length 0).
void CheckEntry(int index);

// The expansion state outside ExpandText: no scratch buffer.
void CheckIdle();

// Set by the expansion harness's file layer when it serves a file that is not valid UTF-8.
extern bool gServedInvalidUtf8;

// The bytes as a text in a block of exactly size + 1 bytes, so the sanitizer catches a read past its end.
std::unique_ptr<char[]> TextOf(const uint8_t* data, size_t size);

// For the harnesses of one text: bit 0 of the input's first byte makes code page 932 active (else none), the
// bytes after it are the text, as TextOf holds it. `size` is at least 1.
std::unique_ptr<char[]> TextAfterCodePageByte(const uint8_t* data, size_t size);

// An input's header text and main text: the bytes before its first NUL and those after it (no NUL: no header,
// everything is the main text).
struct HeaderAndMain {
  const uint8_t* header;
  size_t headerLength;
  const uint8_t* main;
  size_t mainLength;
};
HeaderAndMain SplitHeaderAndMain(const uint8_t* data, size_t size);

// A working buffer of kTextBufferSize bytes, allocated once; only its first `size` bytes may be touched, the
// rest is poisoned so that AddressSanitizer reports any access to it.
class WorkBuffer {
 public:
  WorkBuffer();
  char* get() const { return bytes_.get(); }

  // Holds `text` (cut to `size` bytes, terminated only when it fits) and zeros up to `size`.
  void Load(const uint8_t* text, size_t length, uint32_t size);

 private:
  std::unique_ptr<char[]> bytes_;
  uint32_t usable_;  // bytes not poisoned
};

}  // namespace morvane::fuzz
