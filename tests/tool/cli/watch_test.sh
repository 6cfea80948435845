#!/usr/bin/env bash
# morvane-cli --watch through the built binary: a run, then one more after each edit in place, each
# replacement by rename, each datafile edit and a datafile that appears, one status line per run, and SIGINT
# ending it with status 0 and no file half-written; standard input and FIFOs refused. Every wait is bounded.
# watch_test.sh BINARY
set -uo pipefail
cli=$(realpath "$1")
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
group=watch
work=$(mktemp -d)
watcher=""
cleanup() {
  [ -z "$watcher" ] || kill -KILL "$watcher" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work" || exit 1
export LC_ALL=C.UTF-8
unset MORVANE_CODEPAGE SOURCE_DATE_EPOCH LANG LANGUAGE LC_MESSAGES
failures=0
source "$here/test_lib.sh"

# wait_for FILE TEXT LABEL: waits up to 10 s for FILE to hold exactly TEXT (printf format).
wait_for() {
  printf "$2" >expected
  for _ in $(seq 100); do
    cmp -s "$1" expected && return 0
    sleep 0.1
  done
  fail "$3: $1 holds '$(cat "$1" 2>/dev/null)'"
  return 1
}
# wait_lines N LABEL: waits up to 10 s for N lines on the watcher's standard error.
wait_lines() {
  for _ in $(seq 100); do
    [ "$(wc -l <watch.err)" -ge "$1" ] && return 0
    sleep 0.1
  done
  fail "$2: $(wc -l <watch.err) lines on standard error, expected $1"
  return 1
}

# Usage errors: nothing runs.
mkfifo pipe
printf 'x' >main.txt
while IFS='|' read -r header main message; do
  run --watch "$header" "$main"
  expect_rc 64 "--watch '$header' '$main'"
  expect_err_line "morvane-cli: $message" "--watch '$header' '$main'"
done <<'TABLE'
-|main.txt|--watch follows files, not standard input ('-')
main.txt|-|--watch follows files, not standard input ('-')
pipe|main.txt|--watch follows files: 'pipe' is a pipe, a FIFO or a device
main.txt|/dev/null|--watch follows files: '/dev/null' is a pipe, a FIFO or a device
||--watch needs a file to follow: HEADER and MAIN are both empty
TABLE

run --watch --rows data.csv "" main.txt
expect_rc 64 "--watch --rows"
expect_err_line "morvane-cli: --watch and --rows cannot be used together" "--watch --rows"

# A header with a datafile that exists and one, in a folder, that does not yet.
mkdir data
printf '[n datafile="\\data\\notes.txt"][later datafile="\\new\\later.txt"]' >header.txt
printf 'one' >data/notes.txt
printf 'Main [n] [later]' >main.txt
"$cli" --watch -o out.txt header.txt main.txt >watch.out 2>watch.err &
watcher=$!

wait_for out.txt 'Main one ' "the first run"
wait_lines 1 "the first run" &&
  expect_line='morvane-cli: --watch: status 0; files followed: 4; Ctrl+C ends' &&
  { grep -qxF "$expect_line" watch.err || fail "the first line: $(cat watch.err)"; }

# Each change, and what the next run writes; the status line names the file.
step() {
  local label=$1 expected=$2 file=$3 lines=$4
  wait_for out.txt "$expected" "$label" || return
  wait_lines "$lines" "$label" || return
  grep -qxF "morvane-cli: --watch: $file changed: ran again, status 0" watch.err ||
    fail "$label: no status line for $file: $(tail -n1 watch.err)"
}
printf 'Edited [n] [later]' >main.txt
step "an edit in place" 'Edited one ' main.txt 2
printf 'Renamed [n] [later]' >main.txt.tmp && mv main.txt.tmp main.txt
step "a replacement by rename" 'Renamed one ' main.txt 3
printf 'two' >data/notes.txt
step "a datafile edit" 'Renamed two ' ./data/notes.txt 4
mkdir new && printf 'here' >new/later.txt
step "a datafile that appears" 'Renamed two here' ./new/later.txt 5

# A change of another file of the folder runs nothing.
printf 'other' >unrelated.txt
sleep 1
[ "$(wc -l <watch.err)" -eq 5 ] || fail "a file the run did not read started a run: $(tail -n1 watch.err)"

# A run that fails tells its status and goes on; the result file is left as it was.
rm main.txt
for _ in $(seq 100); do grep -q 'status 1$' watch.err && break; sleep 0.1; done
grep -qxF "morvane-cli: --watch: main.txt changed: ran again, status 1" watch.err || fail "a missing main file: $(tail -n2 watch.err)"
cmp -s out.txt expected || fail "a failed run changed out.txt"
printf 'Back [n]' >main.txt
wait_for out.txt 'Back two' "the main file back"

# SIGINT: status 0, nothing left behind but the files of the runs.
kill -INT "$watcher"
status=0
for _ in $(seq 100); do kill -0 "$watcher" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$watcher" 2>/dev/null; then
  fail "still running 10 s after SIGINT"
else
  wait "$watcher" || status=$?
  watcher=""
  rc=$status
  expect_rc 0 "SIGINT"
fi
leftovers=$(ls -A | grep -v -x -e data -e new -e pipe -e header.txt -e main.txt -e out.txt -e unrelated.txt \
  -e watch.out -e watch.err -e expected -e out -e err)
[ -z "$leftovers" ] || fail "files left behind: $leftovers"
[ ! -s watch.out ] || fail "with -o nothing goes to standard output: $(head -c 100 watch.out)"

# Without -o, each run prints its result; SIGINT while a run's output is awaited still ends with 0.
printf 'A' >main.txt
"$cli" --watch "" main.txt >watch.out 2>watch.err &
watcher=$!
wait_for watch.out 'A' "standard output, first run"
printf 'B' >main.txt
wait_for watch.out 'AB' "standard output, second run"
kill -INT "$watcher"
for _ in $(seq 100); do kill -0 "$watcher" 2>/dev/null || break; sleep 0.1; done
status=0
wait "$watcher" || status=$?
watcher=""
rc=$status
expect_rc 0 "SIGINT without -o"

finish_group
