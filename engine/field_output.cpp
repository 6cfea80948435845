// Writing a reference's value as a field: repeated, widened with padding, cut, and aligned.
#include <cstdint>
#include <cstring>

#include "engine/byte_copy.h"
#include "engine/expand.h"
#include "engine/text.h"

namespace morvane {

namespace {

// Copies value bytes into a field. Read as characters from their first byte, a lead byte that ends the
// copied bytes or stands before a NUL has lost its partner: it becomes a space, so the field keeps its width
// and the next pass never pairs it with the byte that follows the field.
void CopyValueBytes(char* destination, const char* source, uint32_t count) {
  CopyBytes(destination, source, count);
  if (ActiveCodePage() == kCodePageNone) return;
  // Every lead byte is 0x80 or above, so the characters before the first such byte are single bytes.
  uint32_t i = 0;
  while (count - i >= 8) {
    uint64_t word;
    std::memcpy(&word, destination + i, sizeof word);
    if ((word & 0x8080808080808080ull) != 0) break;
    i += 8;
  }
  while (i < count) {
    if (!IsLeadByte(static_cast<unsigned char>(destination[i]))) {
      ++i;
    } else if (i + 1 < count && destination[i + 1] != '\0') {
      i += 2;
    } else {
      destination[i++] = ' ';
    }
  }
}

}  // namespace

void WriteField(PassOutput& out, const TagEntry& entry, const FieldSpec& spec) {
  if (spec.loop == 0) return;
  const uint32_t length = entry.data != nullptr ? entry.length : 0;
  const char* value = entry.data != nullptr ? entry.data : "";

  uint32_t width;
  uint32_t leftFill = 0;
  uint32_t offset = 0;  // first value byte copied
  uint32_t copied;      // value bytes copied
  if (length < spec.min) {
    width = spec.min;
    const uint32_t fill = spec.min - length;
    if (spec.align == Align::kRight) {
      leftFill = fill;
    } else if (spec.align == Align::kCenter) {
      leftFill = fill / 2;
    }
    copied = length;
  } else if (length > spec.max) {
    width = spec.max;
    if (spec.align == Align::kRight) {
      offset = length - spec.max;
    } else if (spec.align == Align::kCenter) {
      offset = (length - spec.max) / 2;
    }
    copied = spec.max;
  } else {
    width = length;
    copied = length;
  }
  if (width == 0) return;

  // Every copy must fit before the terminator's slot; a failure abandons the whole expansion, so checking
  // all copies at once is the same as checking each.
  out.Reserve(static_cast<uint64_t>(width) * spec.loop);

  char* const first = out.cursor;
  const uint32_t rightFill = width - leftFill - copied;
  if (leftFill != 0) std::memset(first, static_cast<unsigned char>(spec.padding), leftFill);
  CopyValueBytes(first + leftFill, value + offset, copied);
  if (rightFill != 0)
    std::memset(first + leftFill + copied, static_cast<unsigned char>(spec.padding), rightFill);

  // Further copies repeat the first one, doubling the block copied each time.
  const uint64_t total = static_cast<uint64_t>(width) * spec.loop;
  uint64_t written = width;
  while (written < total) {
    const uint64_t chunk = written < total - written ? written : total - written;
    std::memcpy(first + written, first, static_cast<size_t>(chunk));
    written += chunk;
  }
  out.cursor = first + total;
}

}  // namespace morvane
