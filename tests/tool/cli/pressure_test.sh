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
  total=$(head -n1 count)
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
  startup=$(head -n1 count)
  [ "$startup" -gt 0 ] || fail "no allocations counted at start-up"
  told=0
  # The first allocations are the C++ runtime's own, before the program starts: no program survives them,
  # and the runtime aborts. From the first that the program gets to see, every run ends in its message.
  runtime=1
  for ((n = 1; n <= startup + 8; n++)); do
    while IFS='|' read -r locale message; do
      LC_ALL=$locale MORVANE_FAIL_ALLOCATIONS_FROM=$n LD_PRELOAD=$preload "$cli" '' m.txt >out 2>err
      rc=$?
      if [ "$runtime" = 1 ] && [ "$rc" -eq 134 ] && [ "$n" -le 8 ]; then continue; fi
      runtime=0
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
locale)
  # An allocation that fails while the C library loads the locale: the run ends out of memory (status 2)
  # where the C library says so, or the locale is taken on a second try; a failure that the C library
  # reports as a locale that is not installed leaves the "C" locale, as for one that is not.
  printf '[d data="日本"]|[d min="6"]|' >m.txt
  for locale in LC_ALL=C.UTF-8 LANG=ja_JP.UTF-8; do
    environment=(env -u LC_ALL "$locale")
    "${environment[@]}" MORVANE_COUNT_ALLOCATIONS=$work/count LD_PRELOAD=$preload "$cli" '' m.txt >out 2>err
    startup=$(sed -n 2p count)
    [ "$startup" -gt 0 ] || fail "$locale: no allocation counted before the signal handlers"
    right=0 out_of_memory=0 c_locale=0
    for ((n = 1; n <= startup; n++)); do
      "${environment[@]}" MORVANE_FAIL_ALLOCATION=$n LD_PRELOAD=$preload "$cli" '' m.txt >out 2>err
      rc=$?
      if [ "$rc" -eq 0 ] && [ "$(cat out)" = '|日本  |' ]; then
        right=$((right + 1))
      elif [ "$rc" -eq 2 ] && grep -q -e ': out of memory$' -e ': メモリが不足しています。$' err; then
        out_of_memory=$((out_of_memory + 1))
      elif [ "$rc" -eq 0 ] && [ "$(cat out)" = '|日本|' ]; then
        c_locale=$((c_locale + 1))
      else
        fail "$locale, allocation $n: status $rc, '$(cat out)', $(head -c 200 err)"
      fi
    done
    echo "$locale: $startup allocations before the handlers: $right right, $out_of_memory out of memory, $c_locale in the C locale"
    [ "$locale" != LC_ALL=C.UTF-8 ] || [ "$out_of_memory" -gt 0 ] || fail "$locale: a shortage of memory in the locale is never told"
  done
  ;;
naming)
  # SIGTERM or SIGINT in the instant a temporary name comes into being (mkstemp's file, or the link that
  # names the unnamed file) still finds it remembered and removes it: the signals wait until it is.
  printf 'new' >new.txt
  printf 'precious' >target.txt
  for mode in unnamed named; do
    for sig in TERM INT; do
      extra=()
      [ "$mode" = named ] && extra=(MORVANE_NO_UNNAMED_FILES=1)
      env "${extra[@]}" MORVANE_SLOW_NAMING=2000 LD_PRELOAD=$preload "$cli" -o target.txt '' new.txt &
      pid=$!
      for _ in $(seq 100); do
        [ "$(leftovers)" -gt 0 ] && break
        sleep 0.02
      done
      [ "$(leftovers)" -gt 0 ] || fail "$mode, SIG$sig: no temporary name appeared"
      kill -s "$sig" "$pid"
      wait "$pid"
      rc=$?
      [ "$rc" -gt 128 ] || fail "$mode, SIG$sig: the process was not ended by the signal (status $rc)"
      [ "$(cat target.txt)" = precious ] || fail "$mode, SIG$sig: the target was harmed"
      [ "$(leftovers)" -eq 0 ] || fail "$mode, SIG$sig: the temporary name was left behind"
      rm -f .morvane-*
    done
  done
  ;;
unreadable)
  # A datafile whose open fails for a cause the file system alone cannot be made to give (a failing disk,
  # too many open files) fails the run with that cause; the -o file is not written.
  printf '<[d datafile="\\data.txt"][d]>' >m.txt
  printf 'data' >data.txt
  printf 'old' >out.txt
  while IFS='|' read -r errno cause; do
    MORVANE_FAIL_OPEN=data.txt:$errno LD_PRELOAD=$preload "$cli" -o out.txt '' m.txt >out 2>err
    rc=$?
    [ "$rc" -eq 1 ] || fail "datafile open failing with errno $errno: status $rc"
    grep -qxF "morvane-cli: m.txt: datafile ./data.txt: cannot read: $cause" err ||
      fail "datafile open failing with errno $errno: $(cat err)"
    [ "$(cat out.txt)" = old ] || fail "datafile open failing with errno $errno: -o was written"
  done <<'TABLE'
5|input/output error (the disk or the device failed)
24|too many open files
23|too many open files
13|permission denied
TABLE
  MORVANE_FAIL_OPEN=data.txt:2 LD_PRELOAD=$preload "$cli" -o out.txt '' m.txt >out 2>err
  rc=$?
  [ "$rc" -eq 0 ] && [ "$(cat out.txt)" = '<>' ] || fail "a missing datafile: status $rc, '$(cat out.txt)'"
  ;;
*) unknown_group ;;
esac
finish_group
