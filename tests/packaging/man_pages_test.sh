#!/usr/bin/env bash
# The manual pages as built: man formats each without a warning, and each says what the programs say of
# themselves: every option of --help, every exit status and environment variable of morvane-cli, and every
# built-in tag of the language. man_pages_test.sh MAN_DIR MORVANE_CLI [MORVANE]
set -uo pipefail
man_dir=$1
cli=$2
window=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LC_ALL=C.UTF-8
failures=0
fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}

# render PAGE: the page as plain text, one long line per paragraph, words that hyphenation split joined again.
render() {
  MANWIDTH=200 man -l -P cat "$1" 2>/dev/null | col -b | sed -z 's/‐\n *//g'
}
# section TEXT_FILE NAME: the lines of one section (NAME up to the next heading).
section() { awk -v name="$2" '/^[A-Z]/ { inside = ($0 == name) } inside' "$1"; }
# help_options PROGRAM: the options its --help names.
help_options() {
  "$1" --help | grep -o -e '--[a-z][a-z-]*' -e '^ *-[a-zA-Z],' | tr -d ' ,' | sort -u
}

pages=(morvane-cli.1 morvane.5)
[ -z "$window" ] || pages+=(morvane.1)
for page in "${pages[@]}"; do
  [ -s "$man_dir/$page" ] || { fail "$page was not built"; continue; }
  man --warnings -l "$man_dir/$page" >/dev/null 2>"$work/warnings"
  [ ! -s "$work/warnings" ] || fail "$page: man warns: $(head -5 "$work/warnings")"
  render "$man_dir/$page" >"$work/$page.txt"
  for heading in NAME SYNOPSIS DESCRIPTION "SEE ALSO"; do
    grep -qx "$heading" "$work/$page.txt" || fail "$page has no $heading section"
  done
done

# morvane-cli(1): every option, exit status and environment variable that --help names.
cli_page=$work/morvane-cli.1.txt
section "$cli_page" OPTIONS >"$work/options"
options=$(help_options "$cli")
[ -n "$options" ] || fail "no options found in morvane-cli --help"
for option in $options; do
  grep -q -e "$option\b" "$work/options" || fail "morvane-cli.1 does not describe $option"
done
"$cli" --help >"$work/help"
section "$cli_page" "EXIT STATUS" >"$work/statuses"
statuses=$(sed -n '/Exit status:/,$p' "$work/help" | grep -oE '(Exit status: |; |^ *)[0-9]+ ' | grep -oE '[0-9]+')
[ -n "$statuses" ] || fail "no exit statuses found in morvane-cli --help"
for status in $statuses; do
  grep -qE "^ +$status +[A-Z-]" "$work/statuses" || fail "morvane-cli.1 lists no exit status $status"
done
section "$cli_page" ENVIRONMENT >"$work/environment"
for variable in $(grep -oE '\b[A-Z][A-Z0-9]*_[A-Z0-9_]+\b' "$work/help" | sort -u); do
  grep -q "\b$variable\b" "$work/environment" || fail "morvane-cli.1 does not describe $variable"
done
grep -qx 'EXAMPLES' "$cli_page" || fail "morvane-cli.1 has no EXAMPLES section"

# morvane(5): every built-in tag that a run defines.
"$cli" --tags "" "" | tail -n +2 >"$work/builtins"
[ "$(wc -l <"$work/builtins")" -ge 20 ] || fail "morvane-cli --tags listed too few built-ins"
for tag in $(cat "$work/builtins"); do
  grep -q -- "$tag\b" "$work/morvane.5.txt" || fail "morvane.5 does not name the built-in $tag"
done

# morvane(1): the window's options.
if [ -n "$window" ]; then
  section "$work/morvane.1.txt" OPTIONS >"$work/window_options"
  for option in $(help_options "$window"); do
    grep -q -e "$option\b" "$work/window_options" || fail "morvane.1 does not describe $option"
  done
fi

[ "$failures" -eq 0 ] && echo "${#pages[@]} manual pages: no warnings, every option, status, variable and built-in"
[ "$failures" -eq 0 ]
