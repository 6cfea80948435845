#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: each stage in scripts/test.d in order.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
for stage in scripts/test.d/*.sh; do
  echo "==== ${stage##*/}"
  started=$SECONDS
  bash "$stage"
  echo "==== ${stage##*/} took $((SECONDS - started)) s"
done
echo "==== all stages passed"
