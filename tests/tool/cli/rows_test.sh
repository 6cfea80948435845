#!/usr/bin/env bash
# End-to-end checks of morvane-cli --rows: rows_test.sh BINARY GROUP runs one group of cases.
set -uo pipefail
cli=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
group=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
export LC_ALL=C.UTF-8
unset MORVANE_CODEPAGE SOURCE_DATE_EPOCH LANG LANGUAGE LC_MESSAGES
failures=0
source "$here/test_lib.sh"

# No temporary of a run is ever left behind.
expect_no_temporaries() {
  ! find . -name '.morvane-*' | grep -q . || fail "$1: a temporary was left: $(find . -name '.morvane-*')"
}

printf '[greet data="Dear"]' >h.txt
printf '[greet] [name]: [amount min="6" align="right"]\n' >m.txt

case $group in
formats)
  # The same three records in every format; each run is the one of -D fields.
  printf 'name,amount\n"Ito, K.",1200\r\nSato [JP],300\n"He said ""hi""",5' >d.csv
  printf 'name\tamount\nIto, K.\t1200\nSato [JP]\t300\nHe said "hi"\t5\n' >d.tsv
  printf '%s\n' '{"name": "Ito, K.", "amount": 1200}' '' '{"name": "Sato [JP]", "amount": "300"}' \
    '{"amount": 5, "name": "He said \"hi\""}' >d.jsonl
  expected='Dear Ito, K.:   1200\nDear Sato [JP]:    300\nDear He said "hi":      5\n'
  for data in d.csv d.tsv d.jsonl; do
    run --rows "$data" h.txt m.txt; expect_rc 0 "$data"; expect_out "$expected" "$data"
  done
  cp d.csv data.txt
  run --rows data.txt h.txt m.txt; expect_rc 64 "a name that tells no format"
  expect_err_line "morvane-cli: --rows data.txt: the format cannot be told from the name (.csv, .tsv, .jsonl): give --rows-format" "no format"
  run --rows data.txt --rows-format csv h.txt m.txt; expect_rc 0 "--rows-format"; expect_out "$expected" "--rows-format"
  run --rows - --rows-format jsonl h.txt m.txt <d.jsonl; expect_rc 0 "DATA on standard input"; expect_out "$expected" "DATA on standard input"
  run --rows d.csv --rows-format xml h.txt m.txt; expect_rc 64 "--rows-format xml"
  # Literal fields: brackets and backslashes come out as they stand; -D and fields side by side.
  printf 'v\n"C:\\dir\\"\n[x]\n' >lit.csv
  printf '[n data="[y]"][y data="Y"]' >lh.txt; printf '[v][n]|[w]\n' >lm.txt
  run --rows lit.csv -D w=W lh.txt lm.txt; expect_out 'C:\\dir\\Y|W\n[x]Y|W\n' "literal fields"
  # A Shift_JIS CSV under --codepage 932, and a JSON escape in it.
  cp932 $'name\n表ソ\n' >sj.csv; cp932 '[name]|' >sjm.txt
  run --codepage 932 --rows sj.csv '' sjm.txt; cp932 '表ソ|' >expected; cmp -s out expected || fail "a Shift_JIS CSV"
  printf '{"name": "\\u8868"}\n{"name": "\\ud83d\\ude00"}\n' >sj.jsonl
  run --codepage 932 --rows sj.jsonl '' sjm.txt; expect_rc 1 "a character code page 932 lacks"
  expect_err_line "morvane-cli: sj.jsonl:2: the value of 'name' holds a \\u character that the active code page cannot hold" "a character code page 932 lacks"
  cp932 '表|' >expected; cmp -s out expected || fail "the other record of the JSON"
  # Problems of DATA, each naming its line.
  printf 'name,amount\nA,1,extra\n"open\n' >bad.csv
  run --rows bad.csv h.txt m.txt; expect_rc 1 "records that do not read"
  expect_err_line "morvane-cli: bad.csv:2: the record has 3 fields, where the first row names 2" "too many fields"
  expect_err_line "morvane-cli: bad.csv:3: a quoted field is not closed before the end of the data" "an open quote"
  printf 'name,amount\nA\n' >few.csv; run --rows few.csv h.txt m.txt; expect_rc 1 "too few fields"
  expect_err_line "morvane-cli: few.csv:2: the record has only 1 of the 2 fields the first row names" "too few fields"
  printf 'name,name\n' >dup.csv; run --rows dup.csv h.txt m.txt; expect_rc 64 "a name given twice"
  expect_err_line "morvane-cli: dup.csv:1: field name 'name' is given twice" "a name given twice"
  printf 'first name\nx\n' >sp.csv; run --rows sp.csv h.txt m.txt; expect_rc 64 "a name with a space"
  printf 'name\nx\n' >n.csv; run --rows n.csv -D name=y h.txt m.txt; expect_rc 64 "a field -D gives too"
  expect_err_line "morvane-cli: n.csv:2: field 'name' is also given with -D" "a field -D gives too"
  printf '{"name": {"first": "a"}}\n' >nest.jsonl; run --rows nest.jsonl h.txt m.txt; expect_rc 1 "a nested value"
  expect_err_line "morvane-cli: nest.jsonl:1: the value of 'name' is an object or an array; a field holds a string, a number, true, false or null" "a nested value"
  ;;
outputs)
  printf 'id,name,amount\n1,Ito,10\n2,Sato,20\nx/3,Kato,30\n' >d.csv
  run --rows d.csv -o 'letters/[id].txt' h.txt m.txt; expect_rc 0 "-o pattern"
  [ "$(cat letters/2.txt)" = 'Dear Sato:     20' ] && [ -f letters/x/3.txt ] || fail "the files of the pattern"
  expect_no_temporaries "-o pattern"
  # A rerun replaces them and keeps their mode.
  chmod 640 letters/1.txt
  printf 'id,name,amount\n1,Ito,11\n2,Sato,20\nx/3,Kato,30\n' >d.csv
  run --rows d.csv -o 'letters/[id].txt' h.txt m.txt; expect_rc 0 "a rerun"
  [ "$(cat letters/1.txt)" = 'Dear Ito:     11' ] && [ "$(stat -c %a letters/1.txt)" = 640 ] || fail "a rerun replaces and keeps the mode"
  # A field cannot take a file out of the pattern's folder; an empty path is no file; two records, one file.
  while IFS='|' read -r id message; do
    rm -rf o2; printf 'id,name,amount\n1,A,1\n%s,B,2\n3,C,3\n' "$id" >e.csv
    run --rows e.csv -o 'o2/[id].txt' h.txt m.txt; expect_rc 1 "-o with id $id"
    expect_err_line "morvane-cli: e.csv:3: $message" "-o with id $id"
    [ ! -e o2/1.txt ] && [ ! -e o2/3.txt ] || fail "-o with id $id: a file was written"
    expect_no_temporaries "-o with id $id"
  done <<'TABLE'
../../etc/x|-o gives 'o2/../../etc/x.txt', which is absolute or climbs with '..' where the pattern does not
1|-o gives 'o2/1.txt', as the record of line 2 does
TABLE
  printf 'id\n\n""\n' >empty.csv; printf 'x' >x.txt
  run --rows empty.csv -o '[id]' '' x.txt; expect_rc 1 "an empty path"
  expect_err_line "morvane-cli: empty.csv:3: -o gives an empty file name" "an empty path"
  # A pattern may climb or be absolute itself.
  mkdir -p sub; printf 'id\n1\n' >one.csv
  (cd sub && "$cli" --rows ../one.csv -o '../up-[id].txt' ../h.txt ../m.txt) && [ -f up-1.txt ] || fail "a pattern that climbs"
  run --rows one.csv -o "$work/abs-[id].txt" h.txt m.txt; [ -f abs-1.txt ] || fail "an absolute pattern"
  # No record's file replaces a file the run reads: DATA, the templates, a datafile of the record.
  printf 'to\nnotes.txt\n' >self.csv; printf 'keep' >notes.txt
  printf '[p datafile="notes.txt"][p]' >reads.txt
  printf 'file\ndata.csv\n' >data.csv
  while IFS='|' read -r data pattern main message; do
    cp "$data" before
    run --rows "$data" -o "$pattern" '' "$main"; expect_rc 64 "-o $pattern"
    expect_err_line "morvane-cli: $data:2: $message" "-o $pattern"
    cmp -s "$data" before && [ "$(cat notes.txt)" = keep ] || fail "-o $pattern replaced an input"
  done <<'TABLE'
data.csv|[file]|m.txt|-o data.csv is the same file as --rows data.csv, which the run reads: nothing written
self.csv|[to]|reads.txt|-o notes.txt is the same file as datafile notes.txt, which the run reads: nothing written
TABLE
  printf 'x\nm.txt\n' >main.csv
  run --rows main.csv -o '[x]' '' m.txt; expect_rc 64 "-o names MAIN"
  # A datafile that exists but cannot be read fails its record, as it fails one run.
  mkdir -p folder; printf 'id\n1\n' >one.csv; printf '[p datafile="folder"][p][id]' >unread.txt
  run --rows one.csv -o 'parts/[id].out' '' unread.txt; expect_rc 1 "an unreadable datafile"
  [ ! -e parts ] || fail "an unreadable datafile: a file was written"
  # Without -o the documents go to standard output in order; --tags, --value and --deps have no place.
  run --rows d.csv -o - h.txt m.txt; expect_rc 0 "-o -"; [ "$(wc -l <out)" = 3 ] || fail "-o - prints"
  for option in --tags "--value x" "--deps d.d"; do
    # shellcheck disable=SC2086
    run --rows d.csv $option -o 'o3/[id]' h.txt m.txt; expect_rc 64 "--rows $option"
  done
  ;;
failures)
  # All or nothing: a record in the middle that fails writes no file, and none is replaced.
  printf '%s\n' 'id,v' '1,a' '2,abcdefgh' '3,c' >d2.csv
  printf '[v loop="200000"]' >loop.txt
  mkdir -p keep && printf 'old' >keep/1.txt
  run --rows d2.csv -o 'keep/[id].txt' '' loop.txt; expect_rc 2 "a record that cannot expand"
  expect_err_line "morvane-cli: d2.csv:3: loop.txt: cannot expand: tag 'v' would write 1,600,000 bytes, more than the 1,048,575 a result holds (see its loop and min)" "the failing record named"
  expect_err_line "morvane-cli: d2.csv: 1 of 3 records failed: no file written" "the summary"
  [ "$(cat keep/1.txt)" = old ] && [ ! -e keep/3.txt ] || fail "a failed run wrote or replaced a file"
  expect_no_temporaries "a failed run"
  for jobs in 1 3; do
    run --rows d2.csv -j $jobs --keep-going -o 'keep/[id].txt' '' loop.txt; expect_rc 2 "--keep-going -j $jobs"
    [ "$(head -c 3 keep/1.txt)" = aaa ] && [ "$(head -c 3 keep/3.txt)" = ccc ] && [ ! -e keep/2.txt ] ||
      fail "--keep-going -j $jobs writes the others"
    expect_err_line "morvane-cli: d2.csv: 1 of 3 records failed; the files of the others are written" "--keep-going summary"
    printf 'old' >keep/1.txt; rm -f keep/3.txt
  done
  # --strict: a warning fails its record; the warning is told once for all the records that give it.
  printf 'id\n1\n2\n' >w.csv; printf '[id][nope]' >warn.txt
  run --rows w.csv --strict -o 'w/[id]' '' warn.txt; expect_rc 4 "--strict"
  [ "$(grep -c "no tag 'nope'" err)" = 1 ] || fail "a warning told once"
  expect_err_line "warn.txt:1:5: warning: no tag 'nope': the expression is dropped (record w.csv:2) [unknown-tag]" "the warning names the first record"
  [ ! -e w ] || fail "--strict wrote a file"
  if locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    LC_ALL=ja_JP.UTF-8 run --rows w.csv --warn '' warn.txt
    expect_err_line "warn.txt:1:5: 警告: タグ 'nope' がありません。式は消えます（w.csv:2 のレコード） [unknown-tag]" \
      "the record of a warning in Japanese"
  fi
  # A -D that no record refers to is a warning; a field no record refers to is not, by default.
  printf 'id,unused\n1,x\n' >u.csv; printf '[id]' >id.txt
  run --rows u.csv --strict -D typo=1 '' id.txt; expect_rc 4 "an unused -D"
  expect_err_line "morvane-cli: warning: -D 'typo' is never referenced [unused-define]" "an unused -D"
  run --rows u.csv --strict -D typo=1 -o 'typo/[id].txt' '' id.txt; expect_rc 4 "an unused -D with -o"
  expect_err_line "morvane-cli: u.csv: warnings under --strict: no file written" "an unused -D with -o"
  [ ! -e typo ] || fail "an unused -D under --strict wrote a file"
  run --rows u.csv --strict '' id.txt; expect_rc 0 "an unused field"
  # A file that cannot be written: nothing is.
  mkdir -p ro && printf 'x' >ro/2.txt && chmod a-w ro/2.txt
  printf 'id\n1\n2\n' >ro.csv
  run --rows ro.csv -o 'ro/[id].txt' '' id.txt; expect_rc 74 "a read-only file"
  [ ! -e ro/1.txt ] || fail "a read-only file: the others were written"
  expect_no_temporaries "a read-only file"
  # --keep-going where every record fails has no others to write.
  printf '%s\n' 'id,v' '1,abcdefgh' '2,abcdefgh' >d3.csv
  run --rows d3.csv --keep-going -o 'all/[id].txt' '' loop.txt; expect_rc 2 "every record fails"
  expect_err_line "morvane-cli: d3.csv: 2 of 2 records failed: no file written" "every record fails"
  # Standard output that goes away ends the run, even where DATA never ends; -j 1 and -j 2 alike.
  printf '[a]\n' >a.txt
  for jobs in 1 2; do
    (yes a | timeout 20 "$cli" --rows - --rows-format csv -j $jobs '' a.txt 2>err | head -c 10 >/dev/null
      echo "${PIPESTATUS[1]}" >status)
    [ "$(cat status)" = 74 ] || fail "-j $jobs: a closed standard output: status $(cat status), not 74"
    expect_err_line "morvane-cli: cannot write standard output" "-j $jobs: a closed standard output"
  done
  ;;
parallel)
  # Every -j and every split into shards gives the same files, the same output and the same messages.
  {
    printf 'id,name,amount\n'
    for i in $(seq 1 400); do printf '%d,Name %d,%d\n' "$i" "$i" "$((i * 7))"; done
    printf '401,broken\n402,Last,1\n'
  } >d.csv
  printf '[name] [amount min="5"] [missing]\n' >pm.txt
  run --rows d.csv -j 1 --warn -o 'j1/[id].txt' --keep-going h.txt pm.txt; rc1=$rc; cp err err1
  for jobs in 2 4; do
    run --rows d.csv -j $jobs --warn -o "j$jobs/[id].txt" --keep-going h.txt pm.txt
    [ "$rc" = "$rc1" ] || fail "-j $jobs: status $rc, -j 1 gave $rc1"
    sed "s|j$jobs/|j1/|" err | cmp -s - err1 || fail "-j $jobs: other messages: $(diff err1 err | head -5)"
    diff -r j1 "j$jobs" >/dev/null || fail "-j $jobs: other files"
  done
  run --rows d.csv -j 4 h.txt pm.txt; cp out stdout4
  run --rows d.csv -j 1 h.txt pm.txt; cmp -s out stdout4 || fail "-j 4 prints what -j 1 prints"
  for k in 1 2 3; do
    run --rows d.csv --shard "$k/3" -j 2 -o 'shards/[id].txt' --keep-going h.txt pm.txt
  done
  diff -r j1 shards >/dev/null || fail "three shards give the files of one run"
  run --rows d.csv --shard 0/3 h.txt pm.txt; expect_rc 64 "--shard 0/3"
  run --rows d.csv --shard 4/3 h.txt pm.txt; expect_rc 64 "--shard 4/3"
  run --rows d.csv -j 0 h.txt pm.txt; expect_rc 64 "-j 0"
  run -j 2 h.txt pm.txt; expect_rc 64 "-j without --rows"
  # A long DATA is read as a stream.
  { printf 'id\n'; seq 1 20000; } >long.csv; printf '[id]\n' >idl.txt
  run --rows long.csv -j 2 '' idl.txt; expect_rc 0 "20,000 records"
  [ "$(wc -l <out)" = 20000 ] && [ "$(tail -n1 out)" = 20000 ] || fail "20,000 records in order"
  ;;
signals)
  # SIGTERM and SIGINT in the middle of a run remove every temporary and write no file.
  { printf 'id\n'; seq 1 3000; } >d.csv
  printf '[id][big data="[x]"][x data="0123456789012345678901234567890123456789"][big loop="2000"]\n' >slow.txt
  for signal in TERM INT; do
    for jobs in 1 2; do
      rm -rf sig; "$cli" --rows d.csv -j $jobs -o 'sig/[id].txt' '' slow.txt >/dev/null 2>err &
      pid=$!
      for _ in $(seq 100); do [ -n "$(find sig -name '.morvane-*' 2>/dev/null | head -1)" ] && break; sleep 0.05; done
      kill -"$signal" $pid
      wait $pid; rc=$?
      [ "$rc" -ne 0 ] || fail "SIG$signal -j $jobs: the run ended with 0"
      expect_no_temporaries "SIG$signal -j $jobs"
      [ -z "$(find sig -type f 2>/dev/null)" ] || fail "SIG$signal -j $jobs: a file was written"
    done
  done
  ;;
*) unknown_group ;;
esac
finish_group
