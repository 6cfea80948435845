#!/usr/bin/env bash
# Native build (default preset) and its tests.
set -euo pipefail
cmake --preset default >/dev/null
cmake --build --preset default
ctest --preset default
