#!/usr/bin/env bash
# The Linux window's start through the built program: --help and --version print and exit with or without a
# display, one or two files are taken, anything else is a usage error, and wherever Qt can open no window the
# program says so in one line and exits with 1 instead of aborting. window_start_test.sh BINARY
set -uo pipefail
program=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

no_display='morvane: cannot open a window: no display\n'
try_help="Try 'morvane --help' for more information.\n"

# One case a line: name; environment (NAME=VALUE ...); arguments; status; first line of standard output
# (empty for none at all); standard error, exactly (printf format). Every case starts without a display.
cases=(
  "no display at all;;;1;;$no_display"
  "an X display that does not answer;DISPLAY=:4097;;1;;$no_display"
  "a Wayland display that does not answer;QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY=morvane-none;;1;;$no_display"
  "a platform Qt does not have;QT_QPA_PLATFORM=no-such-platform;;1;;$no_display"
  "files to open, without a display;;header.txt main.txt;1;;$no_display"
  "one file to open;;main.txt;1;;$no_display"
  "an empty argument is an empty box;;\"\" main.txt;1;;$no_display"
  "-- before a name with a dash;;-- -main.txt;1;;$no_display"
  "--help without a display;;--help;0;Usage: morvane [HEADER [MAIN]];"
  "-h;;-h;0;Usage: morvane [HEADER [MAIN]];"
  "--version without a display;;--version;0;morvane (Morvane) 1.0;"
  "--version beside a display that does not answer;DISPLAY=:4097;--version;0;morvane (Morvane) 1.0;"
  "an unknown option;;--bogus;64;;morvane: unknown option '--bogus'\n$try_help"
  "three files;;a.txt b.txt c.txt;64;;morvane: too many arguments: the window takes HEADER and MAIN at most\n$try_help"
  "standard input;;- main.txt;64;;morvane: '-' is standard input, which the window does not read (see morvane-cli)\n$try_help"
  "Qt's own options are no command line of the window;;-platform offscreen;64;;morvane: unknown option '-platform'\n$try_help"
  "--help with more;;--help --version;64;;morvane: --help stands alone\n$try_help"
)

for entry in "${cases[@]}"; do
  IFS=';' read -r name environment arguments status first_line stderr <<<"$entry"
  read -r -a env_assignments <<<"$environment"
  eval "args=($arguments)"
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_SESSION_TYPE LC_ALL=C.UTF-8 \
    XDG_RUNTIME_DIR="$work" "${env_assignments[@]}" timeout 20 "$program" "${args[@]}" >"$work/out" 2>"$work/err"
  rc=$?
  problems=()
  [ "$rc" -eq "$status" ] || problems+=("status $rc, expected $status")
  if [ -z "$first_line" ]; then
    [ ! -s "$work/out" ] || problems+=("standard output not empty")
  else
    [ "$(head -n1 "$work/out")" = "$first_line" ] || problems+=("standard output begins '$(head -n1 "$work/out")'")
  fi
  printf "$stderr" >"$work/expected"
  cmp -s "$work/err" "$work/expected" || problems+=("standard error '$(cat "$work/err")'")
  if [ ${#problems[@]} -gt 0 ]; then
    echo "FAIL $name: ${problems[*]}"
    failures=$((failures + 1))
  fi
done

# The help names both options and the way to run an update without the window.
"$program" --help >"$work/help"
for word in --help --version morvane-cli "no display" HEADER MAIN morvane.conf; do
  grep -q -e "$word" "$work/help" || { echo "FAIL --help does not mention $word"; failures=$((failures + 1)); }
done

[ "$failures" -eq 0 ] && echo "all ${#cases[@]} start cases passed"
[ "$failures" -eq 0 ]
