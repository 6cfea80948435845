#!/usr/bin/env bash
# Proves that docs_links.py finds broken links, and only those: runs it over links_cases.md, whose last two
# lines hold the three broken links.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cases="$here/links_cases.md"
report=$(python3 "$here/docs_links.py" "$cases")
status=$?
expected="$cases:17: no heading for #no-such-heading in links_cases.md
$cases:18: no file no-such-file.md
$cases:18: no heading for #notes-2 in links_cases.md
docs_links: 3 broken links"
if [ "$status" -ne 1 ] || [ "$report" != "$expected" ]; then
  echo "FAIL the link check reported (status $status):"
  printf '%s\n' "$report"
  echo "expected:"
  printf '%s\n' "$expected"
  exit 1
fi
