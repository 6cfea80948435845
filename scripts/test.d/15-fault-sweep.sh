#!/usr/bin/env bash
# The fault sweep of morvane-cli (default preset): every system call after start-up failed once, and every
# allocation, for a result written with its dependency file and for one on standard output. A few minutes.
set -euo pipefail
root=$(pwd)
cmake --preset default >/dev/null
cmake --build --preset default --target morvane-cli morvane_fault_injection
build=$root/build/default
bash tests/tool/cli/fault_sweep.sh "$build/tool/cli/morvane-cli" "$build/tests/tool/cli/libmorvane_fault_injection.so"
