// The engine against the reference model (tests/fuzz/differential.h tells the input's layout): any
// difference in a status, the result or the table fails, with what differs.
#include <cstdio>
#include <string>

#include "tests/fuzz/differential.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  morvane::fuzz::PrepareDifferential();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string difference = morvane::fuzz::CompareWithModel(data, size);
  if (!difference.empty()) {
    std::fprintf(stderr, "%s\n", difference.c_str());
    morvane::fuzz::Fail(__FILE__, __LINE__, "the engine and the model differ");
  }
  return 0;
}
