#!/usr/bin/env bash
# Installs what is missing, builds the default preset and runs morvane-cli on the UTF-8 example.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
exec build/default/tool/cli/morvane-cli --codepage utf-8 examples/utf-8/header.txt examples/utf-8/main.txt
