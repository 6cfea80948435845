#!/usr/bin/env bash
# Builds the libFuzzer harnesses (fuzz preset) and runs each for a bounded time from its seed corpus: the
# expansion and the engine against the reference model for MORVANE_FUZZ_SECONDS (60) each, the three small
# harnesses and the command line over its private folder for half of that. Any crash, sanitizer report, failed check, difference from the model, leak or
# timeout fails the stage and shows the input.
set -euo pipefail
seconds=${MORVANE_FUZZ_SECONDS:-60}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for harness in expand differential parse_quoted number paths cli; do
  case $harness in
    expand | differential) time=$seconds ;;
    *) time=$(((seconds + 1) / 2)) ;;
  esac
  mkdir -p "$work/$harness"
  options=(-max_total_time="$time" -timeout=30 -rss_limit_mb=2048 -max_len=16384 -print_final_stats=1
           -artifact_prefix="$work/$harness-")
  if [ -f "tests/fuzz/$harness.dict" ]; then options+=(-dict="tests/fuzz/$harness.dict"); fi
  echo "-- $harness: ${time} s"
  if build/fuzz/tests/fuzz/"${harness}_fuzz" "${options[@]}" "$work/$harness" "tests/fuzz/corpus/$harness" \
      >"$work/$harness.log" 2>&1; then
    grep -E '^#[0-9]+[[:space:]]+DONE|stat::(number_of_executed_units|average_exec_per_sec|slowest_unit_time_sec)' \
      "$work/$harness.log" || true
  else
    tail -n 60 "$work/$harness.log"
    for artifact in "$work/$harness"-*; do
      [ -e "$artifact" ] || continue
      echo "input ${artifact##*/}:"
      od -A d -c "$artifact" | head -n 40
    done
    status=1
  fi
done
exit $status
