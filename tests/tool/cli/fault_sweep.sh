#!/usr/bin/env bash
# Every fault a run can meet, one at a time: each system call that morvane-cli makes after start-up (once
# its locale is loaded) fails once (strace's fault injection, with the errors that call can give), and each
# allocation fails once (the preloaded library), from the first one on. Every run must end with one of its documented statuses and say why; the result file
# and the dependency file are either untouched or wholly new (the dependency file never new alone), a
# status 0 means both are new and the output is right, a file reported as not written was not written, and
# no temporary file is left behind.
#   fault_sweep.sh BINARY PRELOAD_LIBRARY
set -uo pipefail
cli=$1
preload=$2
command -v strace >/dev/null || { echo "fault_sweep: strace is not installed" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
export LC_ALL=C.UTF-8 TZ=UTC SOURCE_DATE_EPOCH=951827696
unset MORVANE_CODEPAGE LANG LANGUAGE LC_MESSAGES
failures=0
runs=0
fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
  [ "$failures" -lt 40 ] || { echo "too many failures"; exit 1; }
}

# The files of a run. The result depends on the code page the locale gives (utf-8 pads by columns), so a
# locale lost on the way shows.
mkdir data
printf '[h data="日本"][n datafile="\\data\\n.txt"]' >h.txt
printf '|[h min="6"]|[n]|[_year]' >m.txt
printf 'ノート' >data/n.txt
printf '|日本  |ノート|2000' >expected.result
{
  printf 'out.txt: \\\n h.txt \\\n ./data/n.txt \\\n m.txt\n\n'
  printf 'h.txt:\n\n./data/n.txt:\n\nm.txt:\n'
} >expected.deps
# The same in code page 932 (paths are converted to the locale's encoding, through iconv).
mkdir data932
sed 's/\\data\\/\\data932\\/' h.txt | iconv -f UTF-8 -t CP932 >h932.txt
iconv -f UTF-8 -t CP932 m.txt >m932.txt
iconv -f UTF-8 -t CP932 data/n.txt >data932/n.txt
iconv -f UTF-8 -t CP932 expected.result >expected932.result
sed 's/h\.txt/h932.txt/; s/m\.txt/m932.txt/; s|/data/|/data932/|' expected.deps >expected932.deps

# The scenarios: a name, the arguments, and where the result goes (a file, or standard output).
scenario_args() {
  case $1 in
  file) args=(--deps out.d -o out.txt h.txt m.txt) ;;
  stdout) args=(h.txt m.txt) ;;
  cp932) args=(--codepage 932 --deps out.d -o out.txt h932.txt m932.txt) ;;
  esac
}
expected_result() { [ "$1" = cp932 ] && echo expected932.result || echo expected.result; }
expected_deps() { [ "$1" = cp932 ] && echo expected932.deps || echo expected.deps; }

# check SCENARIO LABEL STATUS: the outcome of one run with one fault.
check() {
  local scenario=$1 label=$2 rc=$3 result deps wrote_result=0 wrote_deps=0
  result=$(expected_result "$scenario")
  deps=$(expected_deps "$scenario")
  runs=$((runs + 1))
  if [ "$(find . -maxdepth 2 -name '.morvane-*' | wc -l)" -ne 0 ]; then
    fail "$label: a temporary file was left behind"
    find . -maxdepth 2 -name '.morvane-*' -delete
  fi
  if [ "$scenario" = stdout ]; then
    case $rc in
    0) cmp -s stdout.txt "$result" || fail "$label: status 0 but standard output differs: $(head -c 80 stdout.txt)" ;;
    1 | 2 | 74) [ -s err ] || fail "$label: status $rc without a message" ;;
    *) fail "$label: status $rc: $(head -c 200 err)" ;;
    esac
    return
  fi
  cmp -s out.txt "$result" && wrote_result=1
  cmp -s out.d "$deps" && wrote_deps=1
  [ "$wrote_result" -eq 1 ] || [ "$(cat out.txt)" = old ] || fail "$label: the result file is torn: $(head -c 80 out.txt)"
  [ "$wrote_deps" -eq 1 ] || [ "$(cat out.d)" = old ] || fail "$label: the dependency file is torn: $(head -c 80 out.d)"
  [ "$wrote_deps" -eq 0 ] || [ "$wrote_result" -eq 1 ] || fail "$label: the dependency file was written without the result"
  # A file said not to be written was not written.
  [ "$wrote_result" -eq 0 ] || ! grep -q '^morvane-cli: out.txt: cannot write' err ||
    fail "$label: out.txt holds the new result, but the run says it cannot write it: $(cat err)"
  [ "$wrote_deps" -eq 0 ] || ! grep -q '^morvane-cli: out.d: cannot write' err ||
    fail "$label: out.d holds the new rules, but the run says it cannot write them: $(cat err)"
  case $rc in
  0) [ "$wrote_result" -eq 1 ] && [ "$wrote_deps" -eq 1 ] || fail "$label: status 0 but not both files were written" ;;
  1 | 2) [ "$wrote_result" -eq 0 ] && [ "$wrote_deps" -eq 0 ] || fail "$label: status $rc but a file was written" ;;
  74) grep -q 'cannot write' err || fail "$label: status 74 without a write message: $(cat err)" ;;
  *) fail "$label: status $rc: $(head -c 200 err)" ;;
  esac
  [ "$rc" -eq 0 ] || [ -s err ] || fail "$label: status $rc without a message"
}

# run_case SCENARIO LABEL COMMAND...: one run from fresh old files.
run_case() {
  local scenario=$1 label=$2 rc
  shift 2
  printf 'old' >out.txt
  printf 'old' >out.d
  "$@" >stdout.txt 2>err </dev/null
  rc=$?
  check "$scenario" "$label" "$rc"
}

# Which errors each system call is failed with (the first for every call, the others too where they mean
# something different to the program).
errors_for() {
  case $1 in
  openat) echo "EIO EACCES EMFILE" ;;
  read) echo "EIO EINTR" ;;
  write) echo "EIO ENOSPC EINTR" ;;
  fsync | close | rename | unlink | linkat | fchmod | fchown) echo "EIO EPERM" ;;
  mmap | mremap) echo "ENOMEM" ;;
  *) echo "EIO" ;;
  esac
}

started=$SECONDS
for scenario in file stdout cp932; do
  scenario_args "$scenario"
  printf 'old' >out.txt
  printf 'old' >out.d
  strace -f -qq -o trace.txt "$cli" "${args[@]}" >stdout.txt 2>err </dev/null
  check "$scenario" "$scenario without a fault" $?
  # Start-up ends once the locale is loaded, where the program sets its signal handlers: every call after
  # that is the program's. A locale that cannot be read is one the C library says is not installed, which
  # leaves the "C" locale. Not failed: brk (the kernel tells its failure by another result than strace
  # gives), futex (the C library aborts on an error it cannot have), the exit.
  awk '/^[0-9]+ +[a-z_0-9]+\(/ { sub(/^[0-9]+ +/, ""); name = $0; sub(/\(.*/, "", name);
         count[name]++; if (!started && $0 ~ /^rt_sigaction\(SIGINT/) started = 1;
         if (started && name !~ /^(brk|futex|exit_group)$/) print name, count[name] }' trace.txt >calls.txt
  calls=$(wc -l <calls.txt)
  [ "$calls" -gt 30 ] || fail "$scenario: only $calls system calls after start-up: the trace did not work"
  while read -r name occurrence; do
    for error in $(errors_for "$name"); do
      run_case "$scenario" "$scenario: $name #$occurrence fails with $error" \
        strace -f -qq -o /dev/null -e trace="$name" -e inject="$name:error=$error:when=$occurrence" \
        "$cli" "${args[@]}"
    done
  done <calls.txt
  echo "$scenario: $calls system calls after start-up, each failed in turn"
done

# Every allocation after start-up, for the run with a result and a dependency file, with the locale named
# by LC_ALL and by LANG (the C library loads each its own way). The allocations of loading the locale are
# the pressure test's (cli_pressure_locale).
scenario_args file
for locale in LC_ALL=C.UTF-8 LANG=C.UTF-8; do
  environment=(env -u LC_ALL "$locale")
  "${environment[@]}" MORVANE_COUNT_ALLOCATIONS="$work/count" LD_PRELOAD="$preload" "$cli" "${args[@]}" >stdout.txt 2>err
  total=$(head -n1 count)
  startup=$(sed -n 2p count)
  [ "$total" -gt 50 ] && [ "$startup" -gt 0 ] || fail "only $total allocations counted: the library is not in place"
  for ((n = startup + 1; n <= total + 1; n++)); do
    run_case file "$locale, allocation $n fails" \
      "${environment[@]}" MORVANE_FAIL_ALLOCATION=$n LD_PRELOAD="$preload" "$cli" "${args[@]}"
  done
  echo "file, $locale: $((total - startup)) allocations after start-up, each failed in turn"
done

echo "fault sweep: $runs runs in $((SECONDS - started)) s, $failures failed"
[ "$failures" -eq 0 ]
