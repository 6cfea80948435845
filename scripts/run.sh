#!/usr/bin/env bash
# Installs what is missing, builds the default preset and opens the Linux window. Without a display it says so
# and runs morvane-cli on the UTF-8 example instead.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
if [ -z "${DISPLAY:-}" ] && [ -n "${WAYLAND_DISPLAY:-}" ]; then
  # Wayland without XWayland: Qt needs its Wayland platform plugin.
  bash scripts/install-deps.sh scripts/packages/runtime/wayland.txt
fi
cmake --preset default >/dev/null
cmake --build --preset default
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  echo "Opening the Morvane window. To try it, name $root/examples/utf-8/header.txt and"
  echo "$root/examples/utf-8/main.txt in its two boxes and press 更新 (Update)."
  exec build/default/tool/qt/morvane
fi
echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set), so the window cannot open;"
echo "running morvane-cli on the UTF-8 example instead:"
echo
exec build/default/tool/cli/morvane-cli --codepage utf-8 examples/utf-8/header.txt examples/utf-8/main.txt
