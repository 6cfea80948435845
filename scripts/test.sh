#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: each stage in scripts/test.d in order.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
# The CI machine has two cores; elsewhere the build tool picks its own number of jobs.
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-2}
bash scripts/install-deps.sh
for stage in scripts/test.d/*.sh; do
  echo "==== ${stage##*/}"
  started=$SECONDS
  bash "$stage"
  echo "==== ${stage##*/} took $((SECONDS - started)) s"
done
echo "==== all stages passed"
