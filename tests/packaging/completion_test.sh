#!/usr/bin/env bash
# The bash completion of morvane-cli, run as bash runs it on Tab: what it offers for a table of command lines,
# its code page names against the program's own table, and every option of --help among its options.
# completion_test.sh COMPLETION_FILE MORVANE_CLI SOURCE_DIR
set -uo pipefail
completion=$(realpath "$1")
cli=$(realpath "$2")
source_dir=$(realpath "$3")
bash_completion=/usr/share/bash-completion/bash_completion
[ -r "$bash_completion" ] || { echo "bash-completion is not installed ($bash_completion)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
mkdir data
touch header.txt main.txt data/notes.txt ./--odd-name.txt
failures=0

# shellcheck disable=SC1090
source "$bash_completion"
# shellcheck disable=SC1090
source "$completion"

# complete_line LINE: what Tab at the end of LINE offers, sorted, space-separated. Words are split as readline
# splits them: at spaces, and "=" as a word of its own.
complete_line() {
  local line=$1
  COMP_LINE=$line
  COMP_POINT=${#line}
  COMP_WORDS=()
  local spaced=${line//=/ = }
  read -r -a COMP_WORDS <<<"$spaced"
  [[ $line == *" " || $line == *= ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _morvane_cli morvane-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | sort | tr '\n' ' ' | sed 's/ $//'
}

# One case a line: the command line | what Tab offers.
cases=(
  "morvane-cli --co|--codepage"
  "morvane-cli --de|--define --deps --deps-target"
  "morvane-cli --ver|--version"
  "morvane-cli --codepage cp|cp932 cp936 cp949 cp950"
  "morvane-cli --codepage=utf|utf-8 utf8"
  "morvane-cli --code 9|932 936 949 950"
  "morvane-cli --codepage n|none"
  "morvane-cli -o h|header.txt"
  "morvane-cli --output=m|main.txt"
  "morvane-cli --deps d|data"
  "morvane-cli --value |"
  "morvane-cli -D |"
  "morvane-cli --define=|"
  "morvane-cli --deps-target |"
  "morvane-cli --tags h|header.txt"
  "morvane-cli header.txt m|main.txt"
  "morvane-cli data/|data/notes.txt"
  "morvane-cli -- --|--odd-name.txt"
  "morvane-cli --tags -- h|header.txt"
  "morvane-cli --rows d|data"
  "morvane-cli --rows-format |csv jsonl tsv"
  "morvane-cli --rows-f=j|jsonl"
  "morvane-cli --ro|--rows --rows-format"
  "morvane-cli --jobs |"
  "morvane-cli --shard |"
  "morvane-cli --kee|--keep-going"
)
for entry in "${cases[@]}"; do
  line=${entry%%|*}
  expected=${entry#*|}
  got=$(complete_line "$line")
  if [ "$got" != "$expected" ]; then
    echo "FAIL '$line': offers '$got', expected '$expected'"
    failures=$((failures + 1))
  fi
done

# The code page names are exactly those the program knows, and it accepts each.
known=$(grep -o '{"[^"]*", kCodePage' "$source_dir/text/text.cpp" | sed 's/{"\([^"]*\)".*/\1/' | sort | tr '\n' ' ')
offered=$(complete_line "morvane-cli --codepage " | tr ' ' '\n' | sort | tr '\n' ' ')
[ -n "$known" ] || { echo "FAIL no code page names found in text/text.cpp"; failures=$((failures + 1)); }
[ "$offered" = "$known" ] || { echo "FAIL code pages offered '$offered', known '$known'"; failures=$((failures + 1)); }
for name in $offered; do
  "$cli" --codepage "$name" "" "" >/dev/null 2>&1 || { echo "FAIL --codepage $name refused"; failures=$((failures + 1)); }
done

# Every option that --help names is offered.
options=$(complete_line "morvane-cli -")
for option in $("$cli" --help | grep -o -e '--[a-z][a-z-]*' -e '^ *-[a-zA-Z],' | tr -d ' ,' | sort -u); do
  [[ " $options " == *" $option "* ]] || { echo "FAIL $option of --help is not offered"; failures=$((failures + 1)); }
done

[ "$failures" -eq 0 ] && echo "all ${#cases[@]} command lines and the option and code page lists passed"
[ "$failures" -eq 0 ]
