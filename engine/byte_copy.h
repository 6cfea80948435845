// Copies of a few bytes without a library call: the pass copies short runs and short values constantly.
#pragma once

#include <cstdint>
#include <cstring>

namespace morvane {

// memcpy for non-overlapping ranges; runs of up to 16 bytes are copied inline with overlapping moves.
inline void CopyBytes(char* destination, const char* source, size_t count) {
  if (count >= 8) {
    if (count > 16) {
      std::memcpy(destination, source, count);
      return;
    }
    uint64_t head;
    uint64_t tail;
    std::memcpy(&head, source, 8);
    std::memcpy(&tail, source + count - 8, 8);
    std::memcpy(destination, &head, 8);
    std::memcpy(destination + count - 8, &tail, 8);
  } else if (count >= 4) {
    uint32_t head;
    uint32_t tail;
    std::memcpy(&head, source, 4);
    std::memcpy(&tail, source + count - 4, 4);
    std::memcpy(destination, &head, 4);
    std::memcpy(destination + count - 4, &tail, 4);
  } else {
    for (size_t i = 0; i < count; ++i) destination[i] = source[i];
  }
}

}  // namespace morvane
