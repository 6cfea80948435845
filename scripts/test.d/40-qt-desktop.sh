#!/usr/bin/env bash
# The Linux window as installed, on a real X server: cmake --install into a staging tree, check the desktop
# entry and icons, open the installed program under Xvfb, type a main file as ~/main.txt, run an Update with
# Enter, save with the keyboard into the Save dialog (which starts beside the main file) and end it with Esc;
# open it again and end it with Ctrl+Q.
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

# The home folder holds the main file; the program starts elsewhere, so only ~ can name it.
export HOME="$work/home"
mkdir -p "$HOME" "$work/elsewhere"
printf '[who data="Xvfb"]hello [who]\n' >"$HOME/main.txt"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

# Starts the installed program in $work/elsewhere and gives its window the focus.
open_window() {
  (cd "$work/elsewhere" && exec "$work/stage/usr/bin/morvane") &
  app_pid=$!
  window=$(timeout 20 xdotool search --sync --name '^Morvane$' | head -n1)
  xdotool windowfocus --sync "$window"
}

# Waits for the program to end after `how`, and checks its status.
expect_exit() {
  local how=$1 status=0
  for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$app_pid" 2>/dev/null && { echo "morvane still open after $how" >&2; exit 1; }
  wait "$app_pid" || status=$?
  app_pid=""
  [ "$status" -eq 0 ] || { echo "morvane ended with status $status after $how" >&2; exit 1; }
}

open_window
# The Update button has the focus; four Tabs reach the main path box.
xdotool key --delay 50 Tab Tab Tab Tab
xdotool type --delay 5 "~/main.txt"
xdotool key Return
sleep 1
kill -0 "$app_pid" || { echo "morvane ended after Update" >&2; exit 1; }
# Back to ファイルに保存 (main box, header Open, header box, Save) and press it; the Save dialog's name box
# has the focus, and the dialog shows the main file's folder.
xdotool key --delay 50 shift+Tab shift+Tab shift+Tab space
sleep 1.5
xdotool type --delay 20 "saved"
xdotool key Return
for _ in $(seq 50); do [ -s "$HOME/saved.txt" ] && break; sleep 0.1; done
[ "$(cat "$HOME/saved.txt" 2>/dev/null)" = "hello Xvfb" ] ||
  { echo "Save did not write ~/main.txt's result beside it as saved.txt" >&2; ls -R "$work/home" "$work/elsewhere" >&2; exit 1; }
xdotool key Escape
expect_exit Esc

open_window
xdotool key ctrl+q
expect_exit Ctrl+Q
echo "morvane opened on $DISPLAY, read ~/main.txt, saved beside it, and ended with status 0 on Esc and on Ctrl+Q"
