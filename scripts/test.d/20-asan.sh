#!/usr/bin/env bash
# The same suites under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan
