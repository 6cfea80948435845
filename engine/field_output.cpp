// Writing a reference's value as a field: repeated, widened with padding, cut, and aligned.
#include <cstdint>
#include <cstring>

#include "engine/expand.h"
#include "text/byte_copy.h"
#include "text/text.h"
#include "text/unicode_width.h"

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

// Writes further copies of the `width` bytes at first behind them, doubling the block copied each time, so
// that `loop` copies stand back to back. Returns the end of the last copy.
char* RepeatCopies(char* first, uint64_t width, uint32_t loop) {
  const uint64_t total = width * loop;
  uint64_t written = width;
  while (written < total) {
    const uint64_t chunk = written < total - written ? written : total - written;
    std::memcpy(first + written, first, static_cast<size_t>(chunk));
    written += chunk;
  }
  return first + total;
}

// Every copy must fit before the terminator's slot; a failure abandons the whole expansion, so checking
// all copies at once is the same as checking each.
void ReserveCopies(const PassOutput& out, const TagEntry& entry, uint64_t width, uint32_t loop) {
  // The size told is the whole field's, saturated where it does not fit 64 bits.
  const uint64_t total = width > UINT64_MAX / loop ? UINT64_MAX : width * loop;
  if (total > out.Room()) {
    const bool alone = out.start != nullptr && total > static_cast<uint64_t>(out.limit - out.start);
    throw ExpansionOverflow{&entry, total, alone};
  }
}

// A field counted in bytes: every code page but utf-8.
void WriteByteField(PassOutput& out, const TagEntry& entry, const char* value, uint32_t length,
                    const FieldSpec& spec) {
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
  ReserveCopies(out, entry, width, spec.loop);

  char* const first = out.cursor;
  const uint32_t rightFill = width - leftFill - copied;
  const unsigned char padding = static_cast<unsigned char>(spec.padding.bytes[0]);
  if (leftFill != 0) std::memset(first, padding, leftFill);
  CopyValueBytes(first + leftFill, value + offset, copied);
  if (rightFill != 0) std::memset(first + leftFill + copied, padding, rightFill);
  out.cursor = RepeatCopies(first, width, spec.loop);
}

// The padding of a field counted in columns, and how it fills a run of columns: whole padding characters,
// and a space for a column that a two-column character does not fit; a zero-width one fills with spaces.
class ColumnFill {
 public:
  explicit ColumnFill(const FieldPadding& padding)
      : padding_(padding),
        width_(padding.length == 1 ? 1 : NextCharacter(padding.bytes, padding.bytes + padding.length).width) {
  }

  uint64_t Bytes(uint32_t columns) const {
    if (width_ == 0) return columns;
    return static_cast<uint64_t>(columns / width_) * padding_.length + columns % width_;
  }

  char* Write(char* out, uint32_t columns) const {
    if (columns == 0) return out;
    if (width_ == 0 || padding_.length == 1) {
      std::memset(out, width_ == 0 ? ' ' : static_cast<unsigned char>(padding_.bytes[0]), columns);
      return out + columns;
    }
    const uint32_t count = columns / width_;
    if (count != 0) {
      std::memcpy(out, padding_.bytes, padding_.length);
      out = RepeatCopies(out, padding_.length, count);
    }
    if (columns % width_ != 0) *out++ = ' ';
    return out;
  }

 private:
  FieldPadding padding_;
  uint32_t width_;
};

// A field counted in display columns (code page utf-8). A cut keeps whole characters, so that the field
// takes at most `max` columns; a two-column character that the cut takes half of becomes a space on the
// field's side of the cut. A centred cut drops half of the surplus columns on the left, rounded down.
void WriteColumnField(PassOutput& out, const TagEntry& entry, const char* value, uint32_t length,
                      const FieldSpec& spec) {
  // No character takes more columns than bytes: a value of at most `max` bytes needs no cut, and without a
  // `min` it needs no measuring at all.
  const uint32_t columns = (spec.min != 0 || length > spec.max) ? TextColumns(value, length) : 0;
  uint32_t leftFill = 0;
  uint32_t rightFill = 0;
  uint32_t from = 0;
  uint32_t to = length;
  bool leftSpace = false;
  bool rightSpace = false;
  if (columns < spec.min) {
    const uint32_t fill = spec.min - columns;
    if (spec.align == Align::kRight) {
      leftFill = fill;
    } else if (spec.align == Align::kCenter) {
      leftFill = fill / 2;
    }
    rightFill = fill - leftFill;
  } else if (columns > spec.max) {
    // With no column to keep, a wide character over the one boundary would count on both of its sides.
    if (spec.max == 0) return;
    const uint32_t surplus = columns - spec.max;
    uint32_t dropped = 0;  // columns dropped on the left
    if (spec.align == Align::kRight) {
      dropped = surplus;
    } else if (spec.align == Align::kCenter) {
      dropped = surplus / 2;
    }
    const ColumnBoundary start = FindColumn(value, length, dropped);
    const ColumnBoundary end = FindColumn(value, length, dropped + spec.max);
    from = start.after;
    leftSpace = start.splitsWide;
    to = end.before;
    rightSpace = end.splitsWide;
  }

  const ColumnFill filler(spec.padding);
  const uint64_t width =
      filler.Bytes(leftFill) + leftSpace + (to - from) + rightSpace + filler.Bytes(rightFill);
  if (width == 0) return;
  ReserveCopies(out, entry, width, spec.loop);

  char* const first = out.cursor;
  char* p = filler.Write(first, leftFill);
  if (leftSpace) *p++ = ' ';
  CopyBytes(p, value + from, to - from);
  p += to - from;
  if (rightSpace) *p++ = ' ';
  filler.Write(p, rightFill);
  out.cursor = RepeatCopies(first, width, spec.loop);
}

}  // namespace

void FieldPadding::TakeFirstCharacter(const char* value) {
  uint32_t count = 1;
  if (ActiveCodePage() == kCodePageUtf8) count = NextCharacter(value, value + strnlen(value, 4)).length;
  std::memset(bytes, 0, sizeof bytes);
  std::memcpy(bytes, value, count);
  length = static_cast<uint8_t>(count);
}

void WriteField(PassOutput& out, const TagEntry& entry, const FieldSpec& spec) {
  if (spec.loop == 0) return;
  const uint32_t length = entry.data != nullptr ? entry.length : 0;
  const char* value = entry.data != nullptr ? entry.data : "";
  const char* const fieldStart = out.cursor;
  if (ActiveCodePage() == kCodePageUtf8) {
    WriteColumnField(out, entry, value, length, spec);
  } else {
    WriteByteField(out, entry, value, length, spec);
  }
  // The whole field of a literal value, its padding and its copies, is marked: no later pass reads it.
  if (entry.Literal() && out.literal != nullptr) {
    out.literal->Add(static_cast<uint32_t>(fieldStart - out.start),
                     static_cast<uint32_t>(out.cursor - out.start));
  }
}

}  // namespace morvane
