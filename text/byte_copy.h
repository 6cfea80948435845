// Copies of a few bytes without a library call: the pass copies short runs and short values constantly.
#pragma once

#include <cstdint>
#include <cstring>

namespace morvane {

// Copies `count` bytes, from one to two Words, as two Word moves that overlap in the middle.
template <typename Word>
inline void CopyHeadAndTail(char* destination, const char* source, size_t count) {
  Word head;
  Word tail;
  std::memcpy(&head, source, sizeof(Word));
  std::memcpy(&tail, source + count - sizeof(Word), sizeof(Word));
  std::memcpy(destination, &head, sizeof(Word));
  std::memcpy(destination + count - sizeof(Word), &tail, sizeof(Word));
}

// memcpy for non-overlapping ranges; runs of up to 16 bytes are copied inline with overlapping moves.
inline void CopyBytes(char* destination, const char* source, size_t count) {
  if (count > 16) {
    std::memcpy(destination, source, count);
  } else if (count >= 8) {
    CopyHeadAndTail<uint64_t>(destination, source, count);
  } else if (count >= 4) {
    CopyHeadAndTail<uint32_t>(destination, source, count);
  } else {
    for (size_t i = 0; i < count; ++i) destination[i] = source[i];
  }
}

}  // namespace morvane
