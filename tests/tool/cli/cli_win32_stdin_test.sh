#!/usr/bin/env bash
# morvane-cli.exe under Wine with standard input from a pipe and redirected from a file, where Wine's
# handle for a file refuses what a file on disk is asked: both read to the end, as cat would.
#   cli_win32_stdin_test.sh MORVANE_CLI_EXE
set -uo pipefail
exe=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0
fail() {
  echo "FAIL $*"
  echo "  status: $rc, stdout: $(od -c out | head -3), stderr: $(head -c 300 err)"
  failures=$((failures + 1))
}
printf '[h data="H"]' >h.txt
printf '<[h]>' >m.txt
wine "$exe" - m.txt <h.txt >out 2>err; rc=$?
[ "$rc" -eq 0 ] && [ "$(cat out)" = '<H>' ] || fail "HEADER - redirected from a file"
wine "$exe" h.txt - <m.txt >out 2>err; rc=$?
[ "$rc" -eq 0 ] && [ "$(cat out)" = '<H>' ] || fail "MAIN - redirected from a file"
cat h.txt | wine "$exe" - m.txt >out 2>err; rc=${PIPESTATUS[1]}
[ "$rc" -eq 0 ] && [ "$(cat out)" = '<H>' ] || fail "HEADER - from a pipe"
wine "$exe" -o out.txt h.txt - <m.txt >out 2>err; rc=$?
[ "$rc" -eq 0 ] && [ "$(cat out.txt)" = '<H>' ] || fail "-o with MAIN - redirected from a file"
if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "standard input from a file and from a pipe: all checks passed"
