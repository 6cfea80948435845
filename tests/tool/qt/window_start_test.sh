#!/usr/bin/env bash
# The Linux window's start through the built program: --help and --version print and exit with or without a
# display, any other argument is a usage error, and wherever Qt can open no window the program says so in one
# line and exits with 1 instead of aborting. window_start_test.sh BINARY
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
  "--help without a display;;--help;0;Usage: morvane [--help | --version];"
  "-h;;-h;0;Usage: morvane [--help | --version];"
  "--version without a display;;--version;0;morvane (Morvane) 1.0;"
  "--version beside a display that does not answer;DISPLAY=:4097;--version;0;morvane (Morvane) 1.0;"
  "an unknown option;;--bogus;64;;morvane: unknown option '--bogus'\n$try_help"
  "a file name;;main.txt;64;;morvane: unexpected argument 'main.txt': the window takes no files (see morvane-cli)\n$try_help"
  "an empty argument;;\"\";64;;morvane: unexpected argument '': the window takes no files (see morvane-cli)\n$try_help"
  "Qt's own options are no command line of the window;;-platform offscreen;64;;morvane: too many arguments: the window takes --help or --version alone\n$try_help"
  "--help with more;;--help --version;64;;morvane: too many arguments: the window takes --help or --version alone\n$try_help"
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
for word in --help --version morvane-cli "no display"; do
  grep -q -e "$word" "$work/help" || { echo "FAIL --help does not mention $word"; failures=$((failures + 1)); }
done

[ "$failures" -eq 0 ] && echo "all ${#cases[@]} start cases passed"
[ "$failures" -eq 0 ]
