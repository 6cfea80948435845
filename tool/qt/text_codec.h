// Conversion between the active code page, in which the tool keeps every text, and the Unicode of Qt's
// widgets.
#pragma once

#include <QString>
#include <cstddef>
#include <string>

namespace morvane {

// Decodes `length` bytes in the active code page for display. An undecodable character (a lead byte with its
// trail byte, or a single byte) becomes one U+FFFD and decoding goes on after it. Under a code page without
// lead bytes, and in utf-8, the bytes are read as UTF-8.
QString DecodeBytes(const char* bytes, size_t length);

// Decodes a text up to its first NUL byte.
QString DecodeText(const char* text);

// Encodes text in the active code page. Returns 0 when a character has no form there or the text holds a
// NUL; `bytes` is then unspecified.
int EncodeText(const QString& text, std::string* bytes);

// Bytes the text takes in the active code page. A text with no form there counts its UTF-8 bytes, which
// no character of the known code pages takes fewer of.
size_t EncodedLength(const QString& text);

}  // namespace morvane
