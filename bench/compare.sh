#!/usr/bin/env bash
# Times whole processes of morvane-cli against GNU m4, envsubst and cat on equivalent workloads, side by
# side in one run, and prints the ratios; then the worst workload's time and the peak resident memory for
# a 1 MiB main file; then morvane-cli in code page utf-8 against none (plain text, references) and against
# 932 (the same Japanese fields); then --warn; then the mail merge of --rows against Jinja2.
#
#   bench/compare.sh [--quick]
#
# --quick: one warm-up and three runs per command instead of three and at least 20 (a smoke run; its
# figures are rough).
# Needs cmake, hyperfine, m4, envsubst and GNU time (scripts/packages/bench.txt). Builds morvane-cli and
# the workload writer with the default preset. Exits non-zero when a tool fails or a peer's output differs
# from morvane-cli's; targets that are missed are reported, not failed.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
quick=0
for arg in "$@"; do
  case "$arg" in
    --quick) quick=1 ;;
    -h | --help)
      sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'
      exit 0
      ;;
    *)
      echo "compare.sh: unknown argument '$arg'" >&2
      exit 64
      ;;
  esac
done

for tool in cmake hyperfine m4 envsubst cat /usr/bin/time; do
  command -v "$tool" >/dev/null || {
    echo "compare.sh: $tool is missing (bash scripts/install-deps.sh installs it)" >&2
    exit 69
  }
done

cd "$root"
[ -f build/default/CMakeCache.txt ] || cmake --preset default >/dev/null
cmake --build --preset default --target morvane-cli morvane_workload >/dev/null
cli="$root/build/default/tool/cli/morvane-cli"
writer="$root/build/default/bench/morvane_workload"

work=$(mktemp -d /tmp/morvane-compare-XXXXXX)
trap 'rm -rf "$work"' EXIT
"$writer" "$work"
cd "$work"

if [ "$quick" = 1 ]; then
  runs=(--warmup 1 --runs 3)
else
  runs=(--warmup 3 --min-runs 20)
fi

# The command of each tool for workload $1; empty when the tool has no form of it.
command_for() {
  local tool=$1 workload=$2 header
  case "$tool" in
    morvane)
      header="$workload-header.txt"
      [ -s "$header" ] || header="''"
      printf '%q --codepage 932 %s %s' "$cli" "$header" "$workload-main.txt"
      ;;
    envsubst) [ -f "$workload-main.envsubst" ] && printf 'envsubst < %s' "$workload-main.envsubst" ;;
    m4) [ -f "$workload-main.m4" ] && printf 'm4 %s %s' "$workload-defs.m4" "$workload-main.m4" ;;
    cat) printf 'cat %s' "$workload-main.txt" ;;
  esac
}

# Runs each tool once and checks that every peer writes exactly what morvane-cli writes.
check_outputs() {
  local workload=$1 tool cmd
  (
    [ -f "$workload.env" ] && { set -a; . "./$workload.env"; set +a; }
    sh -c "$(command_for morvane "$workload")" >"$workload.out.morvane"
    # Text without tags comes out unchanged.
    if [ ! -s "$workload-header.txt" ] && ! cmp -s "$workload.out.morvane" "$workload-main.txt"; then
      echo "compare.sh: morvane-cli changed the plain text of the $workload workload" >&2
      exit 1
    fi
    for tool in envsubst m4; do
      cmd=$(command_for "$tool" "$workload") || continue
      [ -n "$cmd" ] || continue
      sh -c "$cmd" >"$workload.out.$tool"
      if ! cmp -s "$workload.out.morvane" "$workload.out.$tool"; then
        echo "compare.sh: $tool's output of the $workload workload differs from morvane-cli's" >&2
        exit 1
      fi
    done
  )
}

# Times the tools on workload $1, the workload's variables in the environment of all: morvane-cli, m4 and
# cat started directly (-N); morvane-cli and envsubst, which reads standard input, both through sh, whose
# start hyperfine subtracts.
time_workload() {
  local workload=$1 tool cmd
  local direct=() shell=()
  for tool in morvane m4 cat; do
    cmd=$(command_for "$tool" "$workload") || continue
    [ -n "$cmd" ] && direct+=(-n "$tool" "$cmd")
  done
  cmd=$(command_for envsubst "$workload") &&
    shell=(-n morvane "$(command_for morvane "$workload")" -n envsubst "$cmd")
  (
    [ -f "$workload.env" ] && { set -a; . "./$workload.env"; set +a; }
    hyperfine -N --style none --output=pipe "${runs[@]}" --export-csv "$workload.direct.csv" "${direct[@]}" \
      >/dev/null 2>>hyperfine.log
    if [ ${#shell[@]} -gt 0 ]; then
      hyperfine --style none --output=pipe "${runs[@]}" --export-csv "$workload.shell.csv" "${shell[@]}" \
        >/dev/null 2>>hyperfine.log
    fi
  )
}

# Seconds of `tool`'s fastest run in the results $1 (a csv file), or nothing. Other work on the machine only
# ever adds time, so the fastest of many runs is the figure that repeats best from one run to the next.
fastest() {
  [ -f "$1" ] && awk -F, -v tool="$2" 'NR > 1 && $1 == tool { print $7 }' "$1"
  return 0
}

ms() {
  [ -n "$1" ] && awk -v s="$1" 'BEGIN { printf "%.1f ms", s * 1000 }' || printf '–'
}

ratio() {
  [ -n "$1" ] && [ -n "$2" ] && awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }' || printf '–'
}

workloads=(plain plain932 refs worst small empty)
declare -A bytes=([plain]="1 MiB ASCII" [plain932]="1 MiB cp932" [refs]="0.9 MB, 90,000 refs" [worst]="1 MiB, full table"
  [small]="1.6 KB, 100 refs" [empty]="an empty main file")
for workload in "${workloads[@]}"; do
  check_outputs "$workload"
  time_workload "$workload"
done

echo "Whole processes, fastest of hyperfine runs, $(nproc) cores; morvane-cli --codepage 932. m4 and cat are"
echo "timed with morvane-cli started directly; ÷ envsubst comes from a second run in which both read through sh."
echo
echo "| workload | morvane-cli | envsubst | m4 | cat | ÷ envsubst | ÷ m4 | ÷ cat |"
echo "|---|---|---|---|---|---|---|---|"
for workload in "${workloads[@]}"; do
  own=$(fastest "$workload.direct.csv" morvane)
  env=$(fastest "$workload.shell.csv" envsubst)
  own_sh=$(fastest "$workload.shell.csv" morvane)
  m4t=$(fastest "$workload.direct.csv" m4)
  catt=$(fastest "$workload.direct.csv" cat)
  printf '| %s (%s) | %s | %s | %s | %s | %s | %s | %s |\n' "$workload" "${bytes[$workload]}" \
    "$(ms "$own")" "$(ms "$env")" "$(ms "$m4t")" "$(ms "$catt")" \
    "$(ratio "$own_sh" "$env")" "$(ratio "$own" "$m4t")" "$(ratio "$own" "$catt")"
done

# Peak resident memory of morvane-cli for the 1 MiB main files.
peak_kib=0
for workload in plain plain932 worst; do
  header="$workload-header.txt"
  [ -s "$header" ] || header=""
  kib=$(/usr/bin/time -v "$cli" --codepage 932 "$header" "$workload-main.txt" 2>&1 >/dev/null |
    awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }')
  [ "$kib" -gt "$peak_kib" ] && peak_kib=$kib
done

refs_env=$(ratio "$(fastest refs.shell.csv morvane)" "$(fastest refs.shell.csv envsubst)")
refs_m4=$(ratio "$(fastest refs.direct.csv morvane)" "$(fastest refs.direct.csv m4)")
plain_cat=$(ratio "$(fastest plain.direct.csv morvane)" "$(fastest plain.direct.csv cat)")
small_m4=$(ratio "$(fastest small.direct.csv morvane)" "$(fastest small.direct.csv m4)")
empty_cat=$(ratio "$(fastest empty.direct.csv morvane)" "$(fastest empty.direct.csv cat)")
worst_s=$(fastest worst.direct.csv morvane)

verdict() { awk -v v="$1" -v limit="$2" 'BEGIN { print (v <= limit ? "met" : "MISSED") }'; }
echo
echo "| target | figure | |"
echo "|---|---|---|"
echo "| small template ≤ 0.8 × m4 (aim 0.6) | $small_m4 × | $(verdict "$small_m4" 0.8) |"
echo "| empty main file ≤ 1.2 × cat of an empty file | $empty_cat × | $(verdict "$empty_cat" 1.2) |"
echo "| refs ≤ 0.5 × envsubst | $refs_env × | $(verdict "$refs_env" 0.5) |"
echo "| refs ≤ 0.3 × m4 | $refs_m4 × | $(verdict "$refs_m4" 0.3) |"
echo "| plain 1 MB ≤ 1.3 × cat | $plain_cat × | $(verdict "$plain_cat" 1.3) |"
echo "| worst ≤ 0.5 s | $(ms "$worst_s") | $(verdict "$worst_s" 0.5) |"
echo "| peak RSS, 1 MiB main file ≤ 4 MiB | $((peak_kib)) KiB | $(verdict "$peak_kib" 4096) |"
echo
echo "Outputs of envsubst and m4 are byte-identical to morvane-cli's on the refs, worst, small and plain workloads."

# Code pages: the same processes under --codepage none, utf-8 and 932.
in_codepage() { printf '%q --codepage %s %s %s' "$cli" "$1" "$2" "$3"; }
"$cli" --codepage utf-8 '' plain-main.txt | cmp -s - plain-main.txt ||
  { echo "compare.sh: utf-8 changed the plain text" >&2; exit 1; }
cmp -s <("$cli" --codepage none refs-header.txt refs-main.txt) <("$cli" --codepage utf-8 refs-header.txt refs-main.txt) ||
  { echo "compare.sh: the refs workload differs between none and utf-8" >&2; exit 1; }
"$cli" --codepage utf-8 fields8-header.txt fields8-main.txt >fields8.out
iconv -f UTF-8 -t UTF-8 fields8.out >/dev/null || { echo "compare.sh: the fields8 result is not valid UTF-8" >&2; exit 1; }
# Both code pages write every line of the fields (a field cut short in 932 could start a tag and eat the rest).
[ "$("$cli" --codepage 932 fields932-header.txt fields932-main.txt | wc -l)" = "$(wc -l <fields8.out)" ] ||
  { echo "compare.sh: the fields932 and fields8 results differ in lines" >&2; exit 1; }
hyperfine -N --style none --output=pipe "${runs[@]}" --export-csv codepages.csv \
  -n plain-none "$(in_codepage none "''" plain-main.txt)" -n plain-utf8 "$(in_codepage utf-8 "''" plain-main.txt)" \
  -n refs-none "$(in_codepage none refs-header.txt refs-main.txt)" \
  -n refs-utf8 "$(in_codepage utf-8 refs-header.txt refs-main.txt)" \
  -n fields932 "$(in_codepage 932 fields932-header.txt fields932-main.txt)" \
  -n fields8 "$(in_codepage utf-8 fields8-header.txt fields8-main.txt)" >/dev/null 2>>hyperfine.log
cp_ms() { ms "$(fastest codepages.csv "$1")"; }
cp_ratio() { ratio "$(fastest codepages.csv "$1")" "$(fastest codepages.csv "$2")"; }
plain_cp=$(cp_ratio plain-utf8 plain-none)
refs_cp=$(cp_ratio refs-utf8 refs-none)
fields_cp=$(cp_ratio fields8 fields932)
echo
echo "| workload | --codepage none | --codepage utf-8 | --codepage 932 |"
echo "|---|---|---|---|"
echo "| plain (1 MiB ASCII) | $(cp_ms plain-none) | $(cp_ms plain-utf8) | – |"
echo "| refs (0.9 MB, 90,000 refs) | $(cp_ms refs-none) | $(cp_ms refs-utf8) | – |"
echo "| Japanese fields (1 MiB in UTF-8) | – | $(cp_ms fields8) | $(cp_ms fields932) |"
echo
echo "| target | figure | |"
echo "|---|---|---|"
echo "| plain utf-8 ≤ 1.05 × none | $plain_cp × | $(verdict "$plain_cp" 1.05) |"
echo "| refs utf-8 ≤ 1.05 × none | $refs_cp × | $(verdict "$refs_cp" 1.05) |"
echo "| Japanese fields utf-8 ≤ 1.5 × 932 | $fields_cp × | $(verdict "$fields_cp" 1.5) |"

# Warnings: every class told (--warn=all) on the refs workload, whose references all find their tags, against
# the same run without --warn, which counts the default classes, and against one that listens to nothing
# (--no-warn=all), where the engine does no work for warnings at all.
"$cli" --codepage 932 --warn=all refs-header.txt refs-main.txt 2>warn.err |
  cmp -s - <("$cli" --codepage 932 refs-header.txt refs-main.txt) ||
  { echo "compare.sh: --warn=all changed the refs result" >&2; exit 1; }
[ ! -s warn.err ] || { echo "compare.sh: --warn=all found something in the refs workload" >&2; exit 1; }
hyperfine -N --style none --output=pipe "${runs[@]}" --export-csv warn.csv \
  -n refs "$(printf '%q --codepage 932 refs-header.txt refs-main.txt' "$cli")" \
  -n refs-warn "$(printf '%q --codepage 932 --warn=all refs-header.txt refs-main.txt' "$cli")" \
  -n refs-silent "$(printf '%q --codepage 932 --no-warn=all refs-header.txt refs-main.txt' "$cli")" \
  >/dev/null 2>>hyperfine.log
warn_ratio=$(ratio "$(fastest warn.csv refs-warn)" "$(fastest warn.csv refs)")
count_ratio=$(ratio "$(fastest warn.csv refs)" "$(fastest warn.csv refs-silent)")
echo
echo "| workload | --no-warn=all | morvane-cli | --warn=all | --warn=all ÷ without | without ÷ --no-warn=all |"
echo "|---|---|---|---|---|---|"
echo "| refs (0.9 MB, 90,000 refs) | $(ms "$(fastest warn.csv refs-silent)") | $(ms "$(fastest warn.csv refs)") |" \
  "$(ms "$(fastest warn.csv refs-warn)") | $warn_ratio | $count_ratio |"
echo
echo "| target | figure | |"
echo "|---|---|---|"
echo "| refs --warn=all ≤ 1.1 × without | $warn_ratio × | $(verdict "$warn_ratio" 1.1) |"

# The mail merge of --rows: a letter per record of a CSV file into an empty folder, against the same job in
# one Python process with Jinja2 (which writes each file straight away, with no temporary and no sync); the
# rerun over the files of an earlier run; and 100,000 records against 3,000, for time and peak memory.
python=/usr/bin/python3
if ! "$python" -c 'import jinja2' 2>/dev/null; then
  echo
  echo "compare.sh: $python has no jinja2 (Debian's python3-jinja2): the mail merge is not timed" >&2
  exit 0
fi
merge() { printf '%q --rows %s -j 2 -o %s merge-header.txt merge-letter.txt' "$cli" "$1" "'$2/[id].txt'"; }
jinja="$(printf '%q %q merge-letter.jinja merge-3000.csv jinja Accounts' "$python" "$root/bench/jinja_merge.py")"
sh -c "$(merge merge-3000.csv letters)"
sh -c "$jinja"
diff -r letters jinja >/dev/null || { echo "compare.sh: Jinja2's letters differ from morvane-cli's" >&2; exit 1; }
rm -rf jinja
mv letters floor-letters
# The floor: the same files made with no template, through temporaries and one sync, and straight away.
staged="$(printf '%q %q floor-letters letters' "$python" "$root/bench/create_files.py")"
direct="$(printf '%q %q --direct floor-letters letters' "$python" "$root/bench/create_files.py")"
hyperfine -N --style none --output=pipe "${runs[@]}" --export-csv merge.csv \
  --prepare 'rm -rf letters jinja' -n merge-3000 "$(merge merge-3000.csv letters)" -n jinja2 "$jinja" \
  -n files-staged "$staged" -n files-direct "$direct" >/dev/null 2>>hyperfine.log
rm -rf floor-letters
hyperfine -N --style none --output=pipe "${runs[@]}" --export-csv rerun.csv \
  -n merge-rerun "$(merge merge-3000.csv again)" >/dev/null 2>>hyperfine.log
long_runs=(--runs 3)
[ "$quick" = 1 ] && long_runs=(--runs 1)
hyperfine -N --style none --output=pipe "${long_runs[@]}" --export-csv merge-long.csv \
  --prepare 'rm -rf long' -n merge-100000 "$(merge merge-100000.csv long)" >/dev/null 2>>hyperfine.log
peak() {
  rm -rf "$2"
  /usr/bin/time -v sh -c "$(merge "$1" "$2")" 2>&1 >/dev/null |
    awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }'
}
peak_3000=$(peak merge-3000.csv peak)
peak_100000=$(peak merge-100000.csv peak)
rm -rf peak long letters jinja again
merge_s=$(fastest merge.csv merge-3000)
jinja_s=$(fastest merge.csv jinja2)
long_s=$(fastest merge-long.csv merge-100000)
merge_jinja=$(ratio "$merge_s" "$jinja_s")
long_ratio=$(ratio "$long_s" "$merge_s")
peak_ratio=$(ratio "$peak_100000" "$peak_3000")
echo
echo "Mail merge, a letter of 1.3 KB with 18 references per CSV record, one file each; morvane-cli --rows -j 2."
echo
echo "| workload | morvane-cli | Jinja2 | ÷ Jinja2 |"
echo "|---|---|---|---|"
echo "| 3,000 records into an empty folder | $(ms "$merge_s") | $(ms "$jinja_s") | $merge_jinja |"
echo "| 3,000 records over their files | $(ms "$(fastest rerun.csv merge-rerun)") | – | – |"
echo "| the 3,000 files alone, through temporaries and one sync (Python) | $(ms "$(fastest merge.csv files-staged)") | – | – |"
echo "| the 3,000 files alone, written straight away (Python) | $(ms "$(fastest merge.csv files-direct)") | – | – |"
echo "| 100,000 records | $(ms "$long_s") | – | – |"
echo
echo "| target | figure | |"
echo "|---|---|---|"
echo "| 3,000 records ≤ 0.3 s | $(ms "$merge_s") | $(verdict "$merge_s" 0.3) |"
echo "| 3,000 records ÷ their files alone through temporaries | $(ratio "$merge_s" "$(fastest merge.csv files-staged)") × | – |"
echo "| 3,000 records < Jinja2 | $merge_jinja × | $(verdict "$merge_jinja" 0.999) |"
echo "| 100,000 records ≤ 40 × 3,000 | $long_ratio × | $(verdict "$long_ratio" 40) |"
echo "| peak RSS, 100,000 ≤ 2 × 3,000 | $peak_100000 KiB ÷ $peak_3000 KiB = $peak_ratio × | $(verdict "$peak_ratio" 2) |"
