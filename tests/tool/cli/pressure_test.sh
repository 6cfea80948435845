#!/usr/bin/env bash
# morvane-cli under pressure, with faults injected by a preloaded library: every single failed allocation,
# a closed pipe on standard output, and a save killed part-way.
# pressure_test.sh BINARY PRELOAD_LIBRARY GROUP
set -uo pipefail
cli=$1
preload=$2
group=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
export LC_ALL=C.UTF-8 TZ=UTC SOURCE_DATE_EPOCH=951827696
unset MORVANE_CODEPAGE
failures=0
source "$(dirname "${BASH_SOURCE[0]}")/test_lib.sh"
fail() {
  echo "FAIL [$group] $*"
  failures=$((failures + 1))
}
# Entries of the work folder besides the files a case made itself: temporary files left behind.
leftovers() { find . -maxdepth 1 -name '.morvane-*' | wc -l; }

case $group in
memory)
  # Each allocation of a run fails in turn. The run either succeeds whole or ends with an out-of-memory
  # message and status 2 with the old output file untouched; it never aborts or reports another failure.
  mkdir -p data
  cp932 '[h data="ヘッダー"][n datafile="\data\n.txt"]' >h.txt
  cp932 '本文 [h] [n] [_year]' >m.txt
  cp932 'ノート' >data/n.txt
  cp932 '本文 ヘッダー ノート 2000' >expected.txt
  args=(--codepage 932 --tags -o out.txt h.txt m.txt)
  MORVANE_COUNT_ALLOCATIONS=$work/count LD_PRELOAD=$preload "$cli" "${args[@]}" >tags.expected 2>err ||
    fail "the run without faults: $(cat err)"
  cmp -s out.txt expected.txt || fail "the run without faults wrote the wrong result"
  total=$(cat count)
  [ "$total" -gt 50 ] || fail "only $total allocations counted: the library is not in place"
  for ((n = 1; n <= total + 1; n++)); do
    printf 'old' >out.txt
    MORVANE_FAIL_ALLOCATION=$n LD_PRELOAD=$preload "$cli" "${args[@]}" >tags 2>err
    rc=$?
    case $rc in
    0)
      cmp -s out.txt expected.txt || fail "allocation $n: status 0 but the result file differs"
      cmp -s tags tags.expected || fail "allocation $n: status 0 but the tag list differs"
      ;;
    2)
      [ "$(cat out.txt)" = old ] || fail "allocation $n: status 2 but the output file was written"
      grep -q -e ': out of memory$' err ||
        fail "allocation $n: status 2 without the out-of-memory message: $(cat err)"
      ;;
    *) fail "allocation $n: status $rc: $(head -c 200 err)" ;;
    esac
  done
  [ "$(leftovers)" -eq 0 ] || fail "temporary files left behind"
  echo "swept $((total + 1)) failing allocations"
  ;;
startup)
  # Memory that runs out from the Nth allocation on, for each N of the start-up and of the first buffer: the
  # message of an out-of-memory run is in the locale's language whenever it comes, English by default.
  printf 'x' >m.txt
  MORVANE_COUNT_ALLOCATIONS=$work/count LD_PRELOAD=$preload "$cli" --version >/dev/null 2>&1
  startup=$(cat count)
  [ "$startup" -gt 0 ] || fail "no allocations counted at start-up"
  told=0
  # The first allocation is the C++ runtime's own, before the program starts: no program can survive it.
  for ((n = 2; n <= startup + 8; n++)); do
    while IFS='|' read -r locale message; do
      LC_ALL=$locale MORVANE_FAIL_ALLOCATIONS_FROM=$n LD_PRELOAD=$preload "$cli" '' m.txt >out 2>err
      rc=$?
      case $rc in
      0) ;;
      2)
        told=$((told + 1))
        [ "$(cat err)" = "morvane-cli: $message" ] || fail "allocations from $n on, $locale: $(cat err)"
        ;;
      *) fail "allocations from $n on, $locale: status $rc: $(head -c 200 err)" ;;
      esac
    done <<'TABLE'
C.UTF-8|out of memory
ja_JP.UTF-8|メモリが不足しています。
TABLE
  done
  [ "$told" -gt 0 ] || fail "no run ran out of memory"
  ;;
pipe)
  # A reader that goes away: the failed write is reported with status 74, not a death by SIGPIPE.
  head -c 1000000 /dev/zero | tr '\0' 'x' >big.txt
  "$cli" '' big.txt 2>err | true
  rc=${PIPESTATUS[0]}
  [ "$rc" -eq 74 ] || fail "closed pipe: status $rc"
  grep -q '^morvane-cli: cannot write standard output$' err || fail "closed pipe: message $(cat err)"
  ;;
kill)
  # A save that is killed part-way (each file write waits, so the signal lands inside it) never harms the
  # target and leaves no temporary file: an unnamed one under SIGKILL, a named one removed on SIGTERM/SIGINT.
  head -c 500000 /dev/zero | tr '\0' 'n' >new.txt
  printf 'precious' >target.txt
  for mode in unnamed named; do
    for sig in KILL TERM INT; do
      [ "$mode" = named ] && [ "$sig" = KILL ] && continue  # nothing can clean up after SIGKILL
      extra=()
      [ "$mode" = named ] && extra=(MORVANE_NO_UNNAMED_FILES=1)
      env "${extra[@]}" MORVANE_SLOW_FILE_WRITES=3000 LD_PRELOAD=$preload "$cli" -o target.txt '' new.txt &
      pid=$!
      # Wait until the write has begun: the temporary file exists (named) or the process sleeps in write.
      for _ in $(seq 100); do
        if [ "$mode" = named ]; then
          [ "$(leftovers)" -gt 0 ] && break
        else
          grep -q 'nanosleep\|clock_nanosleep' "/proc/$pid/syscall" 2>/dev/null && break
          [ -r "/proc/$pid/wchan" ] && grep -q 'hrtimer_nanosleep\|do_nanosleep' "/proc/$pid/wchan" && break
        fi
        sleep 0.05
      done
      sleep 0.2
      kill -s "$sig" "$pid"
      wait "$pid"
      rc=$?
      [ "$rc" -gt 128 ] || fail "$mode, SIG$sig: the process was not ended by the signal (status $rc)"
      [ "$(cat target.txt)" = precious ] || fail "$mode, SIG$sig: the target was harmed"
      [ "$(leftovers)" -eq 0 ] || fail "$mode, SIG$sig: a temporary file was left behind"
      rm -f .morvane-*
    done
  done
  # Without the faults, both ways of writing replace the target.
  for extra in "" MORVANE_NO_UNNAMED_FILES=1; do
    printf 'precious' >target.txt
    env $extra LD_PRELOAD=$preload "$cli" -o target.txt '' new.txt || fail "save ($extra) failed"
    cmp -s target.txt new.txt || fail "save ($extra) did not replace the target"
    [ "$(leftovers)" -eq 0 ] || fail "save ($extra) left a temporary file"
  done
  ;;
*) unknown_group ;;
esac
finish_group
