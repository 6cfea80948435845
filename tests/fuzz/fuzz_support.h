// Shared checks of the fuzz harnesses: a failed check prints what broke and aborts, which libFuzzer reports
// as a crash with the input that caused it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace morvane::fuzz {

[[noreturn]] void Fail(const char* file, int line, const char* what);

#define FUZZ_CHECK(condition) \
  ((condition) ? static_cast<void>(0) : ::morvane::fuzz::Fail(__FILE__, __LINE__, #condition))

// The tag table's invariants: an unused entry is all zero; an entry in use has a name under 32 bytes, only
// the two known flags, a value block with 0 at `length` (or no block and length 0), and is the entry that
// TagTable::Find gives for its own name, so no two names are equal. Entries below `firstChecked` were set
// up with distinct names and are looked up only through the entries above them.
void CheckTable(int firstChecked = 0);

// The expansion state outside ExpandText: no scratch buffer.
void CheckIdle();

// Set by the expansion harness's file layer when it serves a file that is not valid UTF-8.
extern bool gServedInvalidUtf8;

// The bytes as a text in a block of exactly size + 1 bytes, so the sanitizer catches a read past its end.
std::unique_ptr<char[]> TextOf(const uint8_t* data, size_t size);

}  // namespace morvane::fuzz
