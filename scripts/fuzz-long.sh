#!/usr/bin/env bash
# A long fuzzing run: every harness in turn (or the ones named) for a share of HOURS, from its seeds and the
# corpus kept by earlier long runs; then the corpora are merged and minimised, and executions, coverage and
# findings are printed per harness.
#
#   scripts/fuzz-long.sh HOURS [--fork] [HARNESS...]
#
# HOURS may be a fraction (0.5). Harnesses: expand differential parse_quoted number paths cli (the default: all);
# expand and differential get twice the share of the others. Without --fork each harness runs in one process
# and is started again after a finding until its time is up; with --fork libFuzzer runs two jobs at once
# (-fork=2) and goes on past findings itself.
#
# Everything is kept in build/fuzz-long/: corpus/HARNESS (the minimised corpus, read and replaced by each
# run), findings/HARNESS (the inputs that failed, with their logs) and logs/. A finding is reproduced with
# build/fuzz/tests/fuzz/HARNESS_fuzz FILE. The runs are niced (MORVANE_FUZZ_NICE, 19). Exit status 1 when
# this run found something.
set -euo pipefail

usage() {
  echo "usage: $0 HOURS [--fork] [HARNESS...]" >&2
  exit 64
}
[ $# -ge 1 ] || usage
hours=$1
shift
[[ $hours =~ ^[0-9]+([.][0-9]+)?$ ]] || usage
fork=0
harnesses=()
for argument in "$@"; do
  case $argument in
    --fork) fork=1 ;;
    expand | differential | parse_quoted | number | paths) harnesses+=("$argument") ;;
    *) usage ;;
  esac
done
[ ${#harnesses[@]} -gt 0 ] || harnesses=(expand differential parse_quoted number paths cli)
niceness=${MORVANE_FUZZ_NICE:-19}

cd "$(dirname "$0")/.."
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
root=build/fuzz-long
stamp=$(date +%Y%m%d-%H%M%S)
mkdir -p "$root/logs"

weight() { case $1 in expand | differential) echo 2 ;; *) echo 1 ;; esac; }
total_weight=0
for harness in "${harnesses[@]}"; do total_weight=$((total_weight + $(weight "$harness"))); done
total_seconds=$(awk -v h="$hours" 'BEGIN { printf "%d", h * 3600 }')

# The last value of `key: N` in a log, or 0.
last_field() { grep -oE "$1: *[0-9]+" "$2" | tail -n 1 | grep -oE '[0-9]+$' || echo 0; }

summary=()
new_findings=0
for harness in "${harnesses[@]}"; do
  binary=build/fuzz/tests/fuzz/${harness}_fuzz
  seconds=$((total_seconds * $(weight "$harness") / total_weight))
  corpus=$root/corpus/$harness
  findings=$root/findings/$harness
  work=$root/work/$harness
  rm -rf "$work"
  mkdir -p "$corpus" "$findings" "$work"
  options=(-timeout=30 -rss_limit_mb=2048 -max_len=16384 -print_final_stats=1 -artifact_prefix="$findings/")
  if [ -f "tests/fuzz/$harness.dict" ]; then options+=(-dict="tests/fuzz/$harness.dict"); fi
  before=$(find "$findings" -type f ! -name '*.log' | wc -l)
  executions=0
  echo "-- $harness: $seconds s$([ $fork = 1 ] && echo ', two jobs')"
  if [ $fork = 1 ]; then
    log=$root/logs/$stamp-$harness.log
    nice -n "$niceness" "$binary" "${options[@]}" -fork=2 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 \
      -max_total_time="$seconds" "$work" "$corpus" "tests/fuzz/corpus/$harness" >"$log" 2>&1 || true
    executions=$(grep -oE '^#[0-9]+:' "$log" | tail -n 1 | tr -dc '0-9')
    executions=${executions:-0}
  else
    deadline=$((SECONDS + seconds))
    run=0
    while [ $((deadline - SECONDS)) -gt 5 ]; do
      run=$((run + 1))
      log=$root/logs/$stamp-$harness-$run.log
      if nice -n "$niceness" "$binary" "${options[@]}" -max_total_time=$((deadline - SECONDS)) \
          "$work" "$corpus" "tests/fuzz/corpus/$harness" >"$log" 2>&1; then
        result=0
      else
        result=1
      fi
      units=$(last_field 'stat::number_of_executed_units' "$log")
      executions=$((executions + units))
      [ $result = 0 ] && break
      # Keep the failure's report beside its input.
      newest=$(ls -t "$findings" | grep -v '\.log$' | head -n 1 || true)
      [ -n "$newest" ] && cp "$log" "$findings/$newest.log"
      echo "   finding after $units executions: ${newest:-no input written} (log $log)"
      if [ "$units" -lt 1000 ]; then
        echo "   it fails again at once; $harness stops here"
        break
      fi
    done
  fi

  # Merge the run's new units into the kept corpus, keeping only units that add coverage.
  merged=$root/merged/$harness
  rm -rf "$merged"
  mkdir -p "$merged"
  nice -n "$niceness" "$binary" -merge=1 -timeout=30 -rss_limit_mb=2048 "$merged" "$corpus" "$work" \
    "tests/fuzz/corpus/$harness" >"$root/logs/$stamp-$harness-merge.log" 2>&1
  rm -rf "$corpus" "$work"
  mv "$merged" "$corpus"
  # The coverage of the minimised corpus, measured afresh.
  "$binary" -runs=0 "$corpus" >"$root/logs/$stamp-$harness-coverage.log" 2>&1 || true
  coverage=$(last_field 'cov' "$root/logs/$stamp-$harness-coverage.log")
  features=$(last_field 'ft' "$root/logs/$stamp-$harness-coverage.log")
  units=$(find "$corpus" -type f | wc -l)
  found=$(($(find "$findings" -type f ! -name '*.log' | wc -l) - before))
  new_findings=$((new_findings + found))
  rate=$((seconds > 0 ? executions / seconds : 0))
  summary+=("$(printf '%-13s %8s %12s %8s %9s %9s %7s %9s' "$harness" "$seconds" "$executions" "$rate" \
    "$coverage" "$features" "$units" "$found")")
done

echo
printf '%-13s %8s %12s %8s %9s %9s %7s %9s\n' harness seconds executions exec/s edges features corpus findings
printf '%s\n' "${summary[@]}"
total=0
for harness in "${harnesses[@]}"; do
  for file in "$root/findings/$harness"/*; do
    [ -e "$file" ] || continue
    case $file in *.log) continue ;; esac
    [ $total = 0 ] && echo && echo "Findings kept in $root/findings (reproduce: build/fuzz/tests/fuzz/HARNESS_fuzz FILE):"
    echo "  $file"
    total=$((total + 1))
  done
done
[ $total = 0 ] && echo && echo "No findings."
# 1 when this run found something.
[ $new_findings = 0 ]
