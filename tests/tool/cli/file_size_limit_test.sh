#!/usr/bin/env bash
# morvane-cli under a file size limit (RLIMIT_FSIZE, set in a child shell): the write fails and is reported,
# the old file stays as it was, no temporary file is left, and the process is not killed by SIGXFSZ.
# file_size_limit_test.sh BINARY
set -uo pipefail
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
export LC_ALL=C.UTF-8
failures=0
fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}

head -c 8192 /dev/zero | tr '\0' 'x' >main.txt
printf 'old contents' >out.txt
(ulimit -f 2 && exec "$cli" --codepage utf-8 '' main.txt -o out.txt) 2>err
rc=$?
[ "$rc" -eq 74 ] || fail "output file: status $rc, expected 74"
grep -q '^morvane-cli: out.txt: cannot write: ' err || fail "output file: no write message ($(cat err))"
[ "$(cat out.txt)" = "old contents" ] || fail "output file: the old file changed"
leftovers=$(find . -name '.morvane-*' | wc -l)
[ "$leftovers" -eq 0 ] || fail "output file: $leftovers temporary file(s) left"

(ulimit -f 2 && exec "$cli" --codepage utf-8 '' main.txt) >stdout.txt 2>err
rc=$?
[ "$rc" -eq 74 ] || fail "standard output: status $rc, expected 74"
grep -q 'cannot write standard output' err || fail "standard output: no message ($(cat err))"

# Within the limit, the same write succeeds.
(ulimit -f 16 && exec "$cli" --codepage utf-8 '' main.txt -o out.txt) 2>err
rc=$?
[ "$rc" -eq 0 ] || fail "within the limit: status $rc"
cmp -s out.txt main.txt || fail "within the limit: the result differs"

[ "$failures" -eq 0 ]
