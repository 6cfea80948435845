// Whether a text is text of a code page: what tells a file written in one encoding and read in another.
#pragma once

#include <cstddef>

namespace morvane {

// The offset of the first byte at which `length` bytes of text stop being text of `codePage`: in utf-8 a
// byte that begins no well-formed sequence; in a double-byte code page a lead byte whose next byte is no
// second byte of that code page, or that ends the text. `length` when every byte belongs to a character.
// Code page none takes every byte; a code page the tool has no table for takes the active lead bytes with
// any second byte.
size_t FirstInvalidByte(const char* text, size_t length, int codePage);

// The bytes of the UTF-8 byte-order mark, which a file may begin with.
inline constexpr char kUtf8ByteOrderMark[] = "\xEF\xBB\xBF";

}  // namespace morvane
