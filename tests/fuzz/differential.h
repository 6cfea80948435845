// The engine against the reference model on one input: both expand a header text and a main text from the
// same table, and their statuses, the main result and the whole table must agree after each text.
// Input: one control byte, then the header text, a NUL, and the main text. Control byte: bit 0 code page 932
// (else none); bits 1-3 the working buffer size; bits 4-6 the table both start from (kTableStarts); bit 7
// the tiny work budget instead of the harnesses' own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/expand.h"
#include "tests/fuzz/reference_model.h"

namespace morvane::fuzz {

inline constexpr uint32_t kDifferentialSizes[] = {16, 40, 64, 128, 256, 512, 4096, 65536};
inline constexpr int kTableStarts = 8;
// Small enough that short inputs reach every bound exactly.
inline constexpr WorkBudget kTinyBudget{6, 2048, 40};

// Builds the starting tables: 0 empty; 1 the built-ins; 2 the built-ins and the fixtures (odd values,
// read-only, no value, a name of 31 bytes, a name that is one lone lead byte); 3 the fixtures alone; 4 as 2
// with two holes; 5 as 2 filled up; 6 as 5 but the last entry; 7 as 5 but a hole and the last two entries.
// Call once before CompareWithModel.
void PrepareDifferential();

// What the model made of the main text.
struct ModelOutcome {
  int status = -1;     // -1 when the input held no control byte
  std::string failed;  // why it failed (Model::failed), empty on success
  std::string result;  // the result on success
};

// "" when the engine and the model agree on the input, else a description of the first difference.
std::string CompareWithModel(const uint8_t* data, size_t size, ModelOutcome* outcome = nullptr);

// "" when gTagTable holds exactly `expected`, else the first entry that differs and how.
std::string CompareTable(const std::vector<model::Entry>& expected);

// The bytes with everything but printable ASCII written as \xNN, for messages.
std::string Printable(const std::string& bytes);

}  // namespace morvane::fuzz
