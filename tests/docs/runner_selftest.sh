#!/usr/bin/env bash
# Proves that the docs example runner catches what it should: runs it over runner_cases.md and checks that it
# reports a problem at the line after each `<!-- must fail -->` and nowhere else.
#   runner_selftest.sh BINARY
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cases="$here/runner_cases.md"

report=$(DOCS_EXAMPLE_SECONDS=3 bash "$here/docs_examples.sh" "$1" "$cases")
status=$?
expected=$(grep -n -A1 -F -x '<!-- must fail -->' "$cases" | sed -n 's/^\([0-9][0-9]*\)-.*/\1/p' | sort -un)
reported=$(printf '%s\n' "$report" | sed -n "s|^$cases:\([0-9]*\):.*|\1|p" | sort -un)

failures=0
if [ "$status" -eq 0 ]; then
  echo "FAIL the runner passed cases that must fail"
  failures=$((failures + 1))
fi
if [ "$expected" != "$reported" ]; then
  echo "FAIL problems reported at other lines than announced"
  echo "  announced: $(tr '\n' ' ' <<<"$expected")"
  echo "  reported:  $(tr '\n' ' ' <<<"$reported")"
  failures=$((failures + 1))
fi
announced=$(printf '%s\n' "$expected" | grep -c .)
if [ "$announced" -lt 10 ]; then
  echo "FAIL only $announced cases announced"
  failures=$((failures + 1))
fi
# Every example is run but the two malformed ones.
markers=$(grep -c '^<!-- example' "$cases")
if ! printf '%s\n' "$report" | grep -q "^docs_examples: $((markers - 2)) examples run"; then
  echo "FAIL not $((markers - 2)) examples run"
  failures=$((failures + 1))
fi
[ "$failures" -eq 0 ] || printf '%s\n' "$report"
exit $((failures != 0))
