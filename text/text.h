// The character model shared by every layer: buffer sizes, the active code page's lead bytes, character
// stepping, the code-page-aware copy and comparisons, and the number rule of loop/min/max.
#pragma once

#include <cstdint>

namespace morvane {

// Size of every working text buffer, terminator included: a text holds at most 1,048,575 bytes.
inline constexpr uint32_t kTextBufferSize = 0x100000;
// Size of every path buffer: 259 bytes of path and the terminator.
inline constexpr uint32_t kPathBufferSize = 260;

// Code pages the tool knows. kCodePageNone has no lead bytes and counts bytes (single-byte code pages).
// kCodePageUtf8 has no lead bytes either, so every byte rule holds unchanged (no byte of a longer UTF-8
// sequence is ASCII), but field output counts display columns and never splits a character.
inline constexpr int kCodePageNone = 0;
inline constexpr int kCodePageUtf8 = 65001;
inline constexpr int kCodePage932 = 932;
inline constexpr int kCodePage936 = 936;
inline constexpr int kCodePage949 = 949;
inline constexpr int kCodePage950 = 950;

// One flag per byte value: nonzero for a lead byte of the active code page.
extern unsigned char gLeadByteTable[256];

// Selects the active code page. Returns 1 for a known code page, 0 (and no change) otherwise. The product
// calls it once at start-up; tests call it freely.
int SetActiveCodePage(int codePage);
int ActiveCodePage();

// Maps a code page name ("932", "cp932", "shift_jis", "utf-8", "utf8", "none", ...; any letter case) to its
// number.
// Returns 1 and sets *codePage when the name is known, else 0.
int CodePageFromName(const char* name, int* codePage);

// Makes `codePage` active with the lead bytes the platform reports for it: inclusive (first, last) byte
// pairs, at most `pairCount`, ended early by a pair whose first byte is 0 (the layout of Windows'
// CPINFO::LeadByte).
void SetActiveLeadBytes(int codePage, const unsigned char* pairs, int pairCount);

// Start-up of every front end: makes the code page named `requested` active (a name CodePageFromName
// knows, as --codepage gives it), or, when it is nullptr, the platform's own: on Windows the ANSI code page
// with the lead bytes the system reports; on POSIX MORVANE_CODEPAGE, else the locale's codeset. Returns 0
// when the name, or MORVANE_CODEPAGE, is unknown; the code page then has no lead bytes.
int StartCodePage(const char* requested);

// Name of the active code page in iconv's terms ("CP932", "UTF-8", ...), or nullptr for kCodePageNone.
const char* ActiveCodePageCharset();

inline bool IsLeadByte(unsigned char byte) {
  return gLeadByteTable[byte] != 0;
}

// Bytes of the character at p: 2 at a lead byte whose next byte is not NUL, else 1 (also at the NUL).
inline int CharLength(const char* p) {
  return (IsLeadByte(static_cast<unsigned char>(p[0])) && p[1] != '\0') ? 2 : 1;
}

// Writes exactly n bytes to destination, reading source by characters: whole characters are copied; from
// the first NUL on (and for a lead byte followed by NUL, from that lead byte on) every byte is 0; a lead
// byte that would be the last of the n bytes becomes 0.
void BoundedCopy(char* destination, const char* source, uint32_t n);

// Name equality: character by character, case-sensitive; a lead byte right before the terminator reads as
// the terminator.
int NamesEqual(const char* a, const char* b);

// Byte length of a name once a trailing lone lead byte is dropped (the part NamesEqual looks at).
uint32_t EffectiveNameLength(const char* name);

// Keyword comparison: text equals the lower-case ASCII keyword with A-Z read as a-z; a double-byte
// character matches nothing; a lone lead byte at the text's end counts as its end.
int KeywordEquals(const char* text, const char* keyword);

// The last '\' or '/' of text that is a character of its own (never a trail byte), or nullptr.
const char* FindLastSeparator(const char* text);

// The number rule: strtoul with base 0 on unsigned 32-bit values. A leading '-' negates modulo 2^32; a
// value beyond 4294967295 gives 4294967295 whatever its sign.
uint32_t ParseNumber(const char* text);

}  // namespace morvane
