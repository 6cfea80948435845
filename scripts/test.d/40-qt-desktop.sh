#!/usr/bin/env bash
# The Linux window as installed, on a real X server: cmake --install into a staging tree, check the desktop
# entry and icons, open the installed program under Xvfb, run an Update with Enter and end it with Esc.
set -euo pipefail
build=build/default
[ -x "$build/tool/qt/morvane" ] || { echo "the Linux window was not built" >&2; exit 1; }

source scripts/lib/xvfb.sh
work=$(mktemp -d)
app_pid=""
cleanup() {
  [ -z "$app_pid" ] || kill "$app_pid" 2>/dev/null || true
  stop_xvfb
  rm -rf "$work"
}
trap cleanup EXIT

DESTDIR="$work/stage" cmake --install "$build" --prefix /usr >/dev/null
for file in usr/bin/morvane usr/share/applications/morvane.desktop \
    usr/share/icons/hicolor/{16x16,32x32,48x48,256x256}/apps/morvane.png; do
  [ -f "$work/stage/$file" ] || { echo "not installed: /$file" >&2; exit 1; }
done
desktop-file-validate "$work/stage/usr/share/applications/morvane.desktop"

start_xvfb "$work"

printf '[who data="Xvfb"]hello [who]\n' >"$work/main.txt"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
"$work/stage/usr/bin/morvane" &
app_pid=$!
window=$(timeout 20 xdotool search --sync --name '^Morvane$' | head -n1)
xdotool windowfocus --sync "$window"
# The Update button has the focus; four Tabs reach the main path box.
xdotool key --delay 50 Tab Tab Tab Tab
xdotool type --delay 5 "$work/main.txt"
xdotool key Return
sleep 1
kill -0 "$app_pid" || { echo "morvane ended after Update" >&2; exit 1; }
xdotool key Escape
status=0
for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app_pid" 2>/dev/null && { echo "morvane still open after Esc" >&2; exit 1; }
wait "$app_pid" || status=$?
app_pid=""
[ "$status" -eq 0 ] || { echo "morvane ended with status $status after Esc" >&2; exit 1; }
echo "morvane opened on $DISPLAY, ran an Update and ended with status 0 on Esc"
