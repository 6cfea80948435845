#!/usr/bin/env bash
# The Linux window as installed, on a real X server: cmake --install into a staging tree, check the desktop
# entry and icons, open the installed program under Xvfb, type a main file as ~/main.txt from the header box
# the focus starts in, run an Update with Enter, save with Ctrl+S into the Save dialog (which starts beside the
# main file) and end it with Esc; open it again, with the paths remembered, and end it with Ctrl+Q; open it with
# two files on its command line, whose warnings show under the view, open their list with the keyboard, take a
# screenshot (build/default/morvane-desktop.png), switch Auto-update on through an edit, and end it.
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

# Starts the installed program in $work/elsewhere, with the arguments given, and gives its window the focus.
# The title is "Morvane", or the main file's name and " - Morvane".
open_window() {
  (cd "$work/elsewhere" && exec "$work/stage/usr/bin/morvane" "$@") &
  app_pid=$!
  window=$(timeout 20 xdotool search --sync --name '^(.* - )?Morvane$' | head -n1)
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
# The header box has the focus; two Tabs reach the main path box.
xdotool key --delay 50 Tab Tab
xdotool type --delay 5 "~/main.txt"
xdotool key Return
sleep 1
kill -0 "$app_pid" || { echo "morvane ended after Update" >&2; exit 1; }
# Ctrl+S: the Save dialog's name box has the focus, and the dialog shows the main file's folder.
xdotool key ctrl+s
sleep 1.5
xdotool type --delay 20 "saved"
xdotool key Return
for _ in $(seq 50); do [ -s "$HOME/saved.txt" ] && break; sleep 0.1; done
[ "$(cat "$HOME/saved.txt" 2>/dev/null)" = "hello Xvfb" ] ||
  { echo "Save did not write ~/main.txt's result beside it as saved.txt" >&2; ls -R "$work/home" "$work/elsewhere" >&2; exit 1; }
xdotool key Escape
expect_exit Esc
config=$HOME/.config/morvane/morvane.conf
grep -q "main.txt" "$config" || { echo "the main file was not remembered in $config" >&2; exit 1; }

# Opened again: the main box holds the remembered path, so the title names it.
open_window
[ "$(xdotool getwindowname "$window")" = "main.txt - Morvane" ] ||
  { echo "title after a restart: $(xdotool getwindowname "$window")" >&2; exit 1; }
xdotool key ctrl+q
expect_exit Ctrl+Q

# Two files on the command line: the update runs at once, and its warnings show under the view. Shift+Tab from
# the header box goes back through Auto-update, Save and Update to the warnings line; Space opens the list.
printf '[company data="Morvane"][who data="Xvfb"]' >"$HOME/header.txt"
printf 'Dear [who],\n[x dta="v"][wh0]\nfrom [company min="010"]\n' >"$HOME/letter.txt"
open_window "$HOME/header.txt" "$HOME/letter.txt"
sleep 1
[ "$(xdotool getwindowname "$window")" = "letter.txt - Morvane" ] ||
  { echo "title with files: $(xdotool getwindowname "$window")" >&2; exit 1; }
xdotool key --delay 50 shift+Tab shift+Tab shift+Tab shift+Tab space
sleep 0.5
import -display "$DISPLAY" -window "$window" "$build/morvane-desktop.png"
[ -s "$build/morvane-desktop.png" ] || { echo "no screenshot" >&2; exit 1; }
# Auto-update on (Alt+A): the window follows an edit and stays up; Save then writes the new result.
xdotool key alt+a
sleep 0.3
printf 'Dear [who], again\n' >"$HOME/letter.txt"
sleep 1.5
kill -0 "$app_pid" || { echo "morvane ended after an edit with Auto-update on" >&2; exit 1; }
xdotool key ctrl+s
sleep 1.5
xdotool type --delay 20 "letter-out"
xdotool key Return
for _ in $(seq 50); do [ -s "$HOME/letter-out.txt" ] && break; sleep 0.1; done
[ "$(cat "$HOME/letter-out.txt" 2>/dev/null)" = "Dear Xvfb, again" ] ||
  { echo "the result after the edit: '$(cat "$HOME/letter-out.txt" 2>/dev/null)'" >&2; exit 1; }
grep -q "autoUpdate=true" "$config" || { echo "Auto-update was not remembered" >&2; exit 1; }
xdotool key Escape
expect_exit "Esc after files on the command line"
echo "morvane opened on $DISPLAY, read ~/main.txt, saved beside it, remembered it, opened two files with their" \
  "warnings (screenshot: $build/morvane-desktop.png), kept Auto-update, and ended with status 0 each time"
