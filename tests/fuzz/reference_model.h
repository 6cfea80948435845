// A plain model of the expansion, written apart from the engine to check it: texts are scanned one byte or
// character at a time, the table is a vector of 1024 entries searched from the first with a character-by-
// character name comparison, and nothing is done by words, masks or skipped passes. It is slow on purpose;
// the differential harness and its test run it beside the engine and compare everything it ends with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace morvane::model {

// The character model: the lead bytes of code page 932, or none at all.
struct Characters {
  bool doubleByte = false;

  bool Lead(char byte) const;
  // Bytes of a name that a comparison looks at: all of them, but a lead byte that ends the name (it has no
  // partner and reads as the end).
  size_t SignificantLength(const std::string& name) const;
  bool SameName(const std::string& a, const std::string& b) const;
};

inline constexpr size_t kCapacity = 1024;
inline constexpr size_t kNameMax = 31;

// One table entry. An unused entry has every field empty.
struct Entry {
  bool inUse = false;
  bool readOnly = false;
  std::string name;
  bool hasValue = false;
  std::string value;  // the stored bytes, NUL bytes included
  bool literal = false;  // a reference writes a field that no later pass reads
};

// Bounds of one expansion's ordinary passes.
struct Budget {
  uint32_t passes;  // a pass with this number that still meets a tag expression fails
  uint64_t bytes;   // input bytes read plus bytes read again, over all passes and within one
  uint64_t tags;    // tag expressions handled, literal brackets not counted
};

// Reads a datafile into `buffer` (1 and the terminated text when the file is shorter than `limit`).
using FileReader = int (*)(const char* path, char* buffer, uint32_t limit);

class Model {
 public:
  Model(Characters characters, uint32_t bufferSize, Budget budget, FileReader readFile);

  // Expands the text held in `buffer` (a working buffer's bytes: the text ends at its first NUL, and a
  // buffer without one does not hold a text). Returns 1 and, when `result` is given, the expanded text;
  // 0 when the text overflows a working buffer or exceeds the budget. The table keeps every change made
  // before a failure.
  int Expand(const std::string& buffer, std::string* result);

  std::vector<Entry> table;
  // Why the last Expand failed: "unterminated" (no text in the buffer), "overflow", "unchanged" (a pass
  // that defined and changed nothing), "passes", "bytes", "tags", "reread" (read again within one pass);
  // null after a success.
  const char* failed = nullptr;

 private:
  struct Field {
    uint32_t loop = 1;
    uint32_t min = 0;
    uint32_t max = 0xFFFFFFFFu;
    char align = 'l';  // 'l', 'c' or 'r'
    char padding = ' ';
  };
  enum class Outcome { kDefinition, kReference, kMissing, kLiteralBracket };
  // A text of a pass and, byte for byte, whether a literal field wrote it.
  struct Text {
    std::string bytes;
    std::vector<bool> literal;
  };
  struct Pass {
    Pass(const Text& text, bool isFinal) : whole(text), final(isFinal) {}
    const Text& whole;
    // The run of bytes being read: the text between two literal bytes, read as if it ended there.
    const std::string* in = nullptr;
    bool final;
    Text out;
    uint32_t handed = 0;       // '[' met
    uint32_t counted = 0;      // of those, the ones that were no literal bracket
    uint32_t definitions = 0;  // of those, the definitions
    uint64_t reread = 0;       // bytes read again after literal brackets, and datafile texts
  };

  void RunPass(Pass& pass);
  void RunSegment(Pass& pass);
  Outcome Tag(Pass& pass, size_t& at);
  void Put(Pass& pass, const std::string& bytes, bool literal = false) const;
  void WriteField(Pass& pass, const Entry& entry, const Field& field) const;
  // Stores exactly n bytes of `bytes` as a value, character by character: a NUL, a lead byte before a NUL
  // and a lead byte that would be the n-th byte end the copy, and zeros fill the rest.
  void Store(Entry& entry, const std::string& bytes, size_t n) const;
  std::string Key(const std::string& name) const;
  int FindName(const std::string& name) const;
  int FindFree() const;
  std::string Quoted(const std::string& in, size_t& at) const;
  bool KeywordIs(const std::string& text, const char* keyword) const;
  static uint32_t Number(const std::string& text);

  Characters characters_;
  uint32_t bufferSize_;
  Budget budget_;
  FileReader readFile_;
  std::vector<char> fileBuffer_;
  // The significant bytes of each entry's name, taken from the table when Expand starts and kept with it:
  // two names are equal exactly when these are.
  std::vector<std::string> keys_;
};

}  // namespace morvane::model
