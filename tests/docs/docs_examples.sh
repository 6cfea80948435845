#!/usr/bin/env bash
# Runs every example of the user documentation through the built morvane-cli and compares what it prints.
#   docs_examples.sh BINARY SOURCE_DIR   the examples of SOURCE_DIR/docs/*.md and SOURCE_DIR/README.md
#   docs_examples.sh BINARY FILE.md...   the examples of the given files
#
# The example format. An example begins at a line `<!-- example -->` or `<!-- example: WORDS -->` and is
# made of the labelled fenced blocks that follow it; blank lines may stand between them, and any other line
# ends the example. A label is the line right before a fence and ends with ':'. It says what the block is:
#   `PATH`...:           a file written into the example's empty folder before the run
#   `PATH`, afterwards:  a file that must hold the block's text after the run
#   Command...:          the commands to run (bash, in that folder, with morvane-cli on PATH); without it
#                        `morvane-cli OPTIONS header.txt main.txt` runs, with "" for a header.txt not given
#   Output...:           standard output, compared byte for byte; without this block it must be empty
#   Standard error...:   standard error; without this block it must be empty
# A line "Exit status: N." gives the expected exit status; without it the status must be 0.
# A block's text is its lines, each ending in a line break. In every block `␣` stands for a space (so a
# space at the end of a line can be seen); a label that says "no line break at the end" drops the last
# line break, one that says "CR LF" ends every line with CR LF.
# WORDS: NAME=VALUE words are set in the environment (TZ, SOURCE_DATE_EPOCH); `warns` marks an example whose
# run gives warnings; the other words are the OPTIONS of the default command. When they hold `--codepage 932` (or 936, 949, 950), every file is
# converted from UTF-8 into that code page before the run, and standard output and the files compared
# afterwards are converted back; `encoding=932` asks for the same without passing the option. Everything runs
# in the C.UTF-8 locale, so an example without --codepage runs in code page utf-8, unconverted.
# In docs/ (and in files given by name) every fenced block belongs to an example, unless the line before it
# is `<!-- no example -->`; the README's other blocks are commands and listings, and are not checked.
# Every example runs twice, the second time with --strict added to every morvane-cli it starts, and must give
# the same in both, so that no example gives a warning it does not show: one that does is marked `warns` and
# runs once. An example without a Standard error block runs with -q, which leaves out the count of the
# warnings that --warn would show.
# Commands read an empty standard input (pipe into morvane-cli to give it one), and an example that runs
# longer than DOCS_EXAMPLE_SECONDS (60) fails.
# A problem is reported as FILE:LINE with the line of the example's marker, and fails the run.
set -uo pipefail
export LC_ALL=C.UTF-8

if [ $# -lt 2 ]; then
  echo "usage: docs_examples.sh BINARY SOURCE_DIR | BINARY FILE.md..." >&2
  exit 64
fi
cli=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
shift
strict_files=()
loose_files=()
if [ $# -eq 1 ] && [ -d "$1" ]; then
  strict_files=("$1"/docs/*.md)
  loose_files=("$1/README.md")
else
  strict_files=("$@")
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
# morvane-cli as the examples' commands start it: with the options of the run under way before their own.
printf '#!/usr/bin/env bash\nexec %q $(cat %q) "$@"\n' "$cli" "$work/options" >"$work/bin/morvane-cli"
chmod +x "$work/bin/morvane-cli"
unset MORVANE_CODEPAGE SOURCE_DATE_EPOCH TZ LANG LANGUAGE

# How long one example may run.
seconds=${DOCS_EXAMPLE_SECONDS:-60}
examples=0
failures=0
doc=""

# What a problem of the run under way is prefixed with ("under --strict: " for the second run).
run_label=""

problem() {
  echo "$doc:$1: $run_label$2"
  failures=$((failures + 1))
}

is_fence() { [[ $1 =~ ^(\`{3,}|~{3,}) ]]; }

# Shows two files line by line with trailing spaces and carriage returns made visible.
show_difference() {
  local visible='s/ $/␣/; s/\r$/␍/'
  diff -u --label expected --label actual <(sed "$visible" "$1") <(sed "$visible" "$2") | head -40 | sed 's/^/    /'
}

# Reads the fenced block whose opening line is lines[$1]; sets block_end (index of the closing fence)
# and block_text. A block left open runs to the end of the document.
read_block() {
  [[ ${lines[$1]} =~ ^(\`{3,}|~{3,}) ]]
  local fence=${BASH_REMATCH[1]}
  local char=${fence:0:1} j=$(($1 + 1))
  block_text=""
  while [ "$j" -lt "${#lines[@]}" ]; do
    local l=${lines[$j]}
    if [[ $l =~ ^(\`{3,}|~{3,})[[:space:]]*$ ]] && [ "${BASH_REMATCH[1]:0:1}" = "$char" ] &&
      [ "${#BASH_REMATCH[1]}" -ge "${#fence}" ]; then
      break
    fi
    block_text+="$l"$'\n'
    j=$((j + 1))
  done
  block_end=$j
}

# The block's bytes as its label asks for them.
shape_text() {
  local text=${block_text//␣/ } label=$1
  if [[ $label == *"no line break at the end"* ]]; then text=${text%$'\n'}; fi
  if [[ $label == *"CR LF"* ]]; then text=${text//$'\n'/$'\r\n'}; fi
  printf '%s' "$text"
}

# run_example MARKER_INDEX WORDS: parses the example that starts at lines[MARKER_INDEX], runs it and
# compares; sets next_line to the first line after it.
run_example() {
  local marker=$1 words=$2
  local line=$((marker + 2))
  local dir="$work/files"
  rm -rf "$dir" "$work/out" "$work/err" "$work/expected" "$work"/after.*
  mkdir "$dir"
  local -a env_words=() options=() after_paths=() after_lines=()
  local encoding="" command="" has_command=0 has_header=0 has_main=0 warns=0
  local expected_out="" has_out=0 out_line=0 expected_err="" err_line=0 expected_status=0 broken=0
  local prev_was_codepage=0 w
  for w in $words; do
    if [ "$prev_was_codepage" = 1 ]; then
      encoding=$w
      prev_was_codepage=0
    fi
    case $w in
    [A-Z_]*=*) env_words+=("$w") ;;
    warns) warns=1 ;;
    encoding=*) encoding=${w#encoding=} ;;
    --codepage) options+=("$w") prev_was_codepage=1 ;;
    --codepage=*) options+=("$w") encoding=${w#--codepage=} ;;
    *) options+=("$w") ;;
    esac
  done
  case ${encoding,,} in
  "" | none | utf-8 | 65001) encoding="" ;;
  932 | cp932 | shift_jis | shift-jis | sjis | windows-31j) encoding=CP932 ;;
  936 | gbk) encoding=CP936 ;;
  949) encoding=CP949 ;;
  950 | big5) encoding=CP950 ;;
  *)
    problem "$((marker + 1))" "unknown code page '$encoding'"
    broken=1
    ;;
  esac

  while [ "$line" -le "${#lines[@]}" ]; do
    local l=${lines[$((line - 1))]}
    if [[ -z ${l//[[:space:]]/} ]]; then
      line=$((line + 1))
      continue
    fi
    if [[ $l =~ ^Exit\ status:\ ([0-9]+)\.?$ ]]; then
      expected_status=${BASH_REMATCH[1]}
      line=$((line + 1))
      continue
    fi
    if is_fence "$l"; then
      problem "$((marker + 1))" "fenced block of line $line has no label"
      broken=1
      read_block "$((line - 1))"
      line=$((block_end + 2))
      continue
    fi
    local following=${lines[$line]:-}
    if [[ $l != *: ]] || ! is_fence "$following"; then break; fi
    read_block "$line"
    local label=$l text
    text=$(shape_text "$label"; printf x)
    text=${text%x}
    case $label in
    Output*)
      expected_out=$text has_out=1 out_line=$((line + 1))
      ;;
    "Standard error"*)
      expected_err=$text err_line=$((line + 1))
      ;;
    Command*)
      command=$text has_command=1
      ;;
    \`*\`*)
      local path=${label#\`}
      path=${path%%\`*}
      if [[ $path == /* || $path == *..* ]]; then
        problem "$((marker + 1))" "path '$path' of line $line leaves the example's folder"
        broken=1
      elif [[ $label == *afterwards* ]]; then
        after_paths+=("$path")
        after_lines+=("$((line + 1))")
        printf '%s' "$text" >"$work/after.${#after_paths[@]}"
      else
        mkdir -p "$dir/$(dirname "$path")"
        if [ -n "$encoding" ]; then
          if ! printf '%s' "$text" | iconv -f UTF-8 -t "$encoding" >"$dir/$path"; then
            problem "$((marker + 1))" "'$path' of line $line cannot be written in $encoding"
            broken=1
          fi
        else
          printf '%s' "$text" >"$dir/$path"
        fi
        [ "$path" = header.txt ] && has_header=1
        [ "$path" = main.txt ] && has_main=1
      fi
      ;;
    *)
      problem "$((marker + 1))" "unknown label '$label' on line $line"
      broken=1
      ;;
    esac
    line=$((block_end + 2))
  done
  next_line=$line

  if [ "$has_command" = 0 ] && [ "$has_main" = 0 ]; then
    problem "$((marker + 1))" "example without main.txt or a command"
    broken=1
  fi
  if [ "$has_out" = 0 ] && [ "$err_line" = 0 ] && [ "${#after_paths[@]}" -eq 0 ]; then
    problem "$((marker + 1))" "example without Output, Standard error or a file afterwards"
    broken=1
  fi
  [ "$err_line" = 0 ] && err_line=""
  [ "$broken" = 1 ] && return
  examples=$((examples + 1))

  local -a quiet=()
  [ -z "$err_line" ] && quiet=(-q)
  run_label=""
  local before=$failures
  execute_example "${quiet[@]}"
  # The second run tells only what the first one does not.
  if [ "$warns" = 0 ] && [ "$failures" = "$before" ]; then
    run_label="under --strict: "
    execute_example --strict "${quiet[@]}"
    run_label=""
  fi
}

# execute_example OPTIONS...: runs the example that run_example parsed in a fresh copy of its files, with
# OPTIONS before the options of every morvane-cli it starts, and compares.
execute_example() {
  local run_dir="$work/example"
  rm -rf "$run_dir" "$work/out" "$work/err" "$work/expected"
  cp -a "$dir" "$run_dir"
  printf '%s ' "$@" >"$work/options"
  # Standard input is empty, so that a command that reads it without a pipe cannot wait for a terminal, and
  # an example that does not end (a FIFO nobody writes, say) fails instead of stopping the suite.
  local status
  if [ "$has_command" = 1 ]; then
    (cd "$run_dir" && timeout "$seconds" env "${env_words[@]}" PATH="$work/bin:$PATH" bash -c "$command") \
      </dev/null >"$work/out" 2>"$work/err"
    status=$?
  else
    local header=""
    [ "$has_header" = 1 ] && header=header.txt
    (cd "$run_dir" && timeout "$seconds" env "${env_words[@]}" "$cli" "$@" "${options[@]}" "$header" main.txt) \
      </dev/null >"$work/out" 2>"$work/err"
    status=$?
  fi
  if [ "$status" = 124 ]; then
    problem "$((marker + 1))" "did not end within $seconds seconds"
    return
  fi

  if [ "$status" != "$expected_status" ]; then
    problem "$((marker + 1))" "exit status $status, expected $expected_status"
    sed 's/^/    stderr: /' "$work/err" | head -5
  fi
  # Without an Output block nothing may be printed.
  if [ "$has_out" = 0 ] && [ -s "$work/out" ]; then
    problem "$((marker + 1))" "unexpected standard output"
    show_difference /dev/null "$work/out"
  elif [ "$has_out" = 1 ]; then
    if [ -n "$encoding" ] && ! iconv -f "$encoding" -t UTF-8 <"$work/out" >"$work/out.utf-8" 2>/dev/null; then
      problem "$((marker + 1))" "standard output is not valid $encoding"
    else
      [ -n "$encoding" ] && mv "$work/out.utf-8" "$work/out"
      printf '%s' "$expected_out" >"$work/expected"
      if ! cmp -s "$work/expected" "$work/out"; then
        problem "$((marker + 1))" "standard output differs from the block of line $out_line"
        show_difference "$work/expected" "$work/out"
      fi
    fi
  fi
  printf '%s' "$expected_err" >"$work/expected"
  if ! cmp -s "$work/expected" "$work/err"; then
    if [ -n "$err_line" ]; then
      problem "$((marker + 1))" "standard error differs from the block of line $err_line"
    else
      problem "$((marker + 1))" "unexpected standard error"
    fi
    show_difference "$work/expected" "$work/err"
  fi
  local k
  for k in "${!after_paths[@]}"; do
    local path=${after_paths[$k]} actual="$run_dir/${after_paths[$k]}"
    if [ ! -f "$actual" ]; then
      problem "$((marker + 1))" "'$path' does not exist afterwards"
      continue
    fi
    if [ -n "$encoding" ]; then
      if ! iconv -f "$encoding" -t UTF-8 <"$actual" >"$work/after.utf-8" 2>/dev/null; then
        problem "$((marker + 1))" "'$path' is not valid $encoding afterwards"
        continue
      fi
      actual="$work/after.utf-8"
    fi
    if ! cmp -s "$work/after.$((k + 1))" "$actual"; then
      problem "$((marker + 1))" "'$path' differs afterwards from the block of line ${after_lines[$k]}"
      show_difference "$work/after.$((k + 1))" "$actual"
    fi
  done
}

# scan_document FILE STRICT
scan_document() {
  doc=$1
  local strict=$2 found=0
  local marker_pattern='^<!-- example(: (.*[^ ]))? *-->$'
  mapfile -t lines <"$doc"
  local i=0 n=${#lines[@]}
  while [ "$i" -lt "$n" ]; do
    local l=${lines[$i]}
    if [[ $l =~ $marker_pattern ]]; then
      found=$((found + 1))
      run_example "$i" "${BASH_REMATCH[2]}"
      i=$((next_line - 1))
      continue
    fi
    if is_fence "$l"; then
      if [ "$strict" = 1 ] && [ "${lines[$((i - 1))]:-}" != "<!-- no example -->" ]; then
        problem "$((i + 1))" "fenced block outside an example (mark it <!-- no example --> if it is none)"
      fi
      read_block "$i"
      i=$((block_end + 1))
      continue
    fi
    i=$((i + 1))
  done
  if [ "$found" -eq 0 ]; then problem 1 "no examples found"; fi
}

for f in "${strict_files[@]}"; do scan_document "$f" 1; done
for f in "${loose_files[@]}"; do scan_document "$f" 0; done

echo "docs_examples: $examples examples run, $failures problems"
[ "$failures" -eq 0 ]
