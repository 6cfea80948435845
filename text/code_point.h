// One Unicode character in the active code page: what a \u escape of a data file stands for.
#pragma once

#include <cstdint>
#include <string>

namespace morvane {

// Appends the character `codePoint` in the active code page to *out. 0, and nothing appended, when it is no
// character of a text (U+0000, a surrogate, beyond U+10FFFF) or the code page cannot hold it (code page
// none holds ASCII alone).
int AppendCodePoint(uint32_t codePoint, std::string* out);

}  // namespace morvane
