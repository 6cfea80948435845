// A replaced global operator new that a test can make fail, for out-of-memory paths.
#pragma once

namespace morvane::testing {

// Successful allocations left before the next one fails (once); negative while no failure is armed.
extern long gAllocationsUntilFailure;
// Allocations made so far; a test resets it to count those of one operation.
extern long gAllocationsMade;

}  // namespace morvane::testing
