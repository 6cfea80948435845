#!/usr/bin/env bash
# End-to-end checks of the built morvane-cli: cli_test.sh BINARY GROUP [SOURCE_DIR] runs one group of cases.
set -uo pipefail
cli=$1
group=$2
source_dir=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
export LC_ALL=C.UTF-8
unset MORVANE_CODEPAGE SOURCE_DATE_EPOCH LANG LANGUAGE
failures=0
source "$(dirname "${BASH_SOURCE[0]}")/test_lib.sh"


builtins='_eof\n_crlf\n_systemname\n_systemversion\n_year\n_month\n_day\n_hour\n_minute\n_second\n_millisecond\n'
builtins+='_dayofweek\n_year2\n_month2\n_day2\n_hour2\n_minute2\n_second2\n_millisecond2\n_noon\n_noonhour\n'
builtins+='_noonhour2\n_osmajorversion\n_osminorversion\n_osbuildnumber\n_osplatform\n_osservicepack\n'
overflow='[big data="0123456789abcdef"][big loop="100000"]'

case $group in
usage)
  run; expect_rc 64 "no operands"; expect_out '' "no operands"
  grep -q '^morvane-cli: ' err || fail "no operands: message"
  run a; expect_rc 64 "one operand"
  run a b c; expect_rc 64 "three operands"
  run --bogus a b; expect_rc 64 "unknown long option"
  grep -q "^morvane-cli: unknown option '--bogus'" err || fail "unknown option message"
  run -x a b; expect_rc 64 "unknown short option"
  run a b -o; expect_rc 64 "-o without its argument"
  run a b --value; expect_rc 64 "--value without its argument"
  run --tags=1 '' ''; expect_rc 64 "--tags with an argument"
  run --tags --value x '' ''; expect_rc 64 "--tags with --value"
  run --codepage bogus '' ''; expect_rc 64 "unknown --codepage"
  MORVANE_CODEPAGE=bogus run '' ''; expect_rc 64 "unknown MORVANE_CODEPAGE"
  grep -q 'MORVANE_CODEPAGE' err || fail "MORVANE_CODEPAGE message"
  MORVANE_CODEPAGE=bogus run --codepage 932 '' ''; expect_rc 0 "--codepage overrides MORVANE_CODEPAGE"
  run --help; expect_rc 0 "--help"; head -n1 out | grep -q '^Usage: morvane-cli \[OPTION\]... HEADER MAIN$' || fail "--help text"
  grep -q '（出力結果）' out || fail "--help names the result row"
  # The README shows --help as it is.
  awk '/--help` prints:$/ { found = 1; next } found && /^```$/ { if (inside) exit; inside = 1; next } inside' \
    "$source_dir/README.md" >readme-help
  cmp -s readme-help out || fail "the README's copy of --help differs from --help"
  run -h x; expect_rc 0 "-h"
  run --version; expect_rc 0 "--version"; head -n1 out | grep -qx 'morvane-cli (Morvane) 1.0' || fail "--version first line"
  grep -q '^License MIT' out || fail "--version names the license"
  printf 'dash' >-o; run -- '' -o; expect_rc 0 "operand after --"; expect_out 'dash' "operand after --"
  # --help and --version that cannot be written say so.
  for option in --help --version; do
    "$cli" $option >/dev/full 2>err; rc=$?
    expect_rc 74 "$option on a full standard output"
    expect_err 'morvane-cli: cannot write standard output\n' "$option on a full standard output"
    "$cli" $option >&- 2>err; rc=$?
    expect_rc 74 "$option on a closed standard output"
  done
  ;;
documents)
  # --help names the documents beside an installed program (PREFIX/bin, PREFIX/share/doc/morvane), and
  # docs/, their folder in the source tree, when there are none.
  mkdir -p prefix/bin prefix/share/doc/morvane bare/bin
  cp "$cli" prefix/bin/morvane-cli
  cp "$cli" bare/bin/morvane-cli
  touch prefix/share/doc/morvane/language.md prefix/share/doc/morvane/recipes.md
  installed=$(cd prefix && pwd)/share/doc/morvane
  while IFS='|' read -r program language recipes; do
    "$program" --help >out 2>err; rc=$?
    expect_rc 0 "$program --help"
    expect_out_line "The template language, every rule with an example: $language" "$program: language.md"
    expect_out_line "Worked tasks: $recipes; man morvane-cli and man 5 morvane once installed." "$program: recipes.md"
  done <<TABLE
prefix/bin/morvane-cli|$installed/language.md|$installed/recipes.md
bare/bin/morvane-cli|docs/language.md|docs/recipes.md
$cli|docs/language.md|docs/recipes.md
TABLE
  # A folder without the reference is no documentation folder.
  rm prefix/share/doc/morvane/language.md
  prefix/bin/morvane-cli --help >out
  expect_out_line "The template language, every rule with an example: docs/language.md" "no language.md"
  ;;
status)
  run '' ''; expect_rc 0 "both empty"; expect_out '' "both empty"; expect_err '' "both empty"
  printf 'skipped header text [who data="world"]' >h.txt
  printf 'Hello, [who]!\r\n[who max="3"][_crlf]' >m.txt
  run h.txt m.txt; expect_rc 0 "header and main"; expect_out 'Hello, world!\r\nwor\r\n' "header and main"
  expect_err '' "header and main"
  run -q missing.txt m.txt; expect_rc 1 "missing header"; expect_out 'Hello, !\r\n\r\n' "missing header"
  expect_err 'morvane-cli: missing.txt: cannot read: No such file or directory\n' "missing header"
  run missing.txt missing2.txt; expect_rc 1 "both missing"; expect_out '' "both missing"
  expect_err 'morvane-cli: missing.txt: cannot read: No such file or directory\nmorvane-cli: missing2.txt: cannot read: No such file or directory\n' "both missing"
  printf '%s' "$overflow" >over.txt
  run h.txt over.txt; expect_rc 2 "failed expansion"; expect_out '' "failed expansion"
  expect_err "morvane-cli: over.txt: cannot expand: tag 'big' would write 1,600,000 bytes, more than the 1,048,575 a result holds (see its loop and min)\n" "failed expansion"
  run over.txt missing.txt; expect_rc 2 "failed header expansion"
  expect_err "morvane-cli: over.txt: cannot expand: tag 'big' would write 1,600,000 bytes, more than the 1,048,575 a result holds (see its loop and min)\n" "main not read after a failed header"
  printf 'kept[_eof]dropped' >eof.txt
  run '' eof.txt; expect_rc 0 "_eof"; expect_out 'kept' "_eof ends the result"
  head -c 1048576 /dev/zero | tr '\0' 'a' >big.txt
  run '' big.txt; expect_rc 1 "1 MiB main file"; expect_out '' "1 MiB main file"
  head -c 1048575 /dev/zero | tr '\0' 'a' >limit.txt
  run '' limit.txt; expect_rc 0 "largest main file"; cmp -s out limit.txt || fail "largest main file unchanged"
  if [ -w /dev/full ]; then
    "$cli" '' m.txt >/dev/full 2>err; rc=$?
    expect_rc 74 "standard output that cannot be written"
    grep -q '^morvane-cli: cannot write standard output$' err || fail "standard output failure message"
  fi
  run_in C missing.txt ''; expect_rc 1 "C locale"
  expect_err 'morvane-cli: missing.txt: cannot read: No such file or directory\n' "C locale speaks English"
  # Japanese when the locale's messages are Japanese, the fixed sentence first; UTF-8 where the locale
  # itself is missing or plain ASCII.
  run_in ja_JP.UTF-8 missing.txt ''; expect_rc 1 "Japanese locale"
  expect_err 'morvane-cli: ヘッダーファイルの読み込みに失敗しました。 missing.txt: ファイルがありません\n' "Japanese messages"
  ;;
output)
  printf '[x data="saved"]<[x]>' >m.txt
  run -o res.txt '' m.txt; expect_rc 0 "-o"; expect_out '' "-o prints nothing"; expect_err '' "-o"
  printf '<saved>' >expected; cmp -s res.txt expected || fail "-o content"
  run --output=res2.txt '' m.txt; expect_rc 0 "--output="; cmp -s res2.txt expected || fail "--output= content"
  run '' m.txt -ores3.txt; expect_rc 0 "-oFILE"; cmp -s res3.txt expected || fail "-oFILE content"
  # A file named but not read: the run completes, but its result never replaces or creates the output.
  head -c 7000 /dev/zero | tr '\0' 'k' >keep.txt
  cp keep.txt keep.orig
  for args in "missing.txt m.txt" "m.txt typo.txt" "missing.txt typo.txt"; do
    run --output keep.txt $args; expect_rc 1 "-o with a read failure ($args)"
    cmp -s keep.txt keep.orig || fail "-o with a read failure ($args) keeps the file"
    run --output res4.txt $args; [ ! -e res4.txt ] || fail "-o with a read failure ($args) creates nothing"
  done
  printf 'old' >keep.txt
  printf '%s' "$overflow" >over.txt
  run -o keep.txt '' over.txt; expect_rc 2 "-o after a failed run"
  printf 'old' >expected; cmp -s keep.txt expected || fail "-o after a failed run keeps the file"
  run -o fresh.txt '' over.txt; [ ! -e fresh.txt ] || fail "-o after a failed run creates nothing"
  run -o no-such-dir/res.txt '' m.txt; expect_rc 74 "unwritable output"
  expect_err 'morvane-cli: no-such-dir/res.txt: cannot write: no such folder\n' "unwritable output"
  run -o empty.txt '' ''; expect_rc 0 "empty result"; [ -f empty.txt ] && [ ! -s empty.txt ] || fail "empty result file"
  run -o tags-res.txt --tags '' m.txt; expect_rc 0 "-o with --tags"
  cmp -s tags-res.txt <(printf '<saved>') || fail "-o with --tags writes the result"
  expect_out "（出力結果）\n${builtins}x\n" "-o with --tags prints the list"
  ;;
tags)
  run --tags '' ''; expect_rc 0 "--tags"; expect_out "（出力結果）\n${builtins}" "--tags of the built-ins"
  printf '[b data="1"][a data="2"]' >h.txt
  printf '[c data="3"][b data="4"]body' >m.txt
  run --tags h.txt m.txt; expect_out "（出力結果）\n${builtins}b\na\nc\n" "--tags in table order"
  printf '%s' "$overflow" >over.txt
  run --tags '' over.txt; expect_rc 2 "--tags after a failed run"; expect_out '' "--tags after a failed run"
  run --tags --codepage 932 '' ''
  { cp932 '（出力結果）'; printf "\n${builtins}"; } >expected
  cmp -s out expected || fail "--tags under 932 prints the result row in code page 932"
  cp932 '[表 data="v"]' >sj.txt
  run --tags --codepage 932 '' sj.txt
  { cp932 '（出力結果）'; printf "\n${builtins}"; cp932 '表'; printf '\n'; } >expected
  cmp -s out expected || fail "--tags under 932 lists names as bytes"
  ;;
value)
  printf '[v data="the value"][e data=""][n readonly="yes"][z data="ab" min="5"][v2 data="[v] twice"]' >m.txt
  run --value v '' m.txt; expect_rc 0 "--value"; expect_out 'the value' "--value"
  run --value=v2 '' m.txt; expect_out '[v] twice' "--value shows the value as stored"
  run --value e '' m.txt; expect_rc 0 "empty value"; expect_out '' "empty value"
  run --value n '' m.txt; expect_rc 0 "no value"; expect_out '' "no value"
  run --value _eof '' m.txt; expect_rc 0 "_eof"; expect_out '' "_eof"
  run --value _systemname '' ''; expect_out 'Morvane' "built-in"
  run --value V '' m.txt; expect_rc 3 "no such tag (names are case-sensitive)"; expect_out '' "no such tag"
  run --value v missing.txt m.txt; expect_rc 1 "--value with a read failure"; expect_out 'the value' "--value, read failure"
  run --value nothing missing.txt m.txt; expect_rc 3 "--value no tag wins over a read failure"
  printf '%s' "$overflow" >over.txt
  run --value big '' over.txt; expect_rc 2 "--value after a failed run"; expect_out '' "--value after a failed run"
  ;;
codepage)
  # 表 is 0x95 0x5C in code page 932: its trail byte must not escape the closing quote.
  cp932 '[t data="表"]<[t]>' >sj.txt
  run --codepage 932 '' sj.txt; expect_rc 0 "932"; { printf '<'; cp932 '表'; printf '>'; } >expected
  cmp -s out expected || fail "--codepage 932 steps by characters"
  MORVANE_CODEPAGE=cp932 run '' sj.txt; cmp -s out expected || fail "MORVANE_CODEPAGE=cp932"
  run --codepage SHIFT_JIS '' sj.txt; cmp -s out expected || fail "--codepage SHIFT_JIS"
  run --codepage none '' sj.txt; cmp -s out expected && fail "--codepage none reads bytes, not characters"
  MORVANE_CODEPAGE=932 run --codepage none '' sj.txt; cmp -s out expected && fail "--codepage beats the environment"
  # A UTF-8 locale selects utf-8, whose fields count columns; none counts bytes.
  printf '[d data="開発部"]|[d min="8"]|[d max="3"]|' >u8.txt
  run '' u8.txt; expect_rc 0 "utf-8 from the locale"; expect_out '|開発部  |開 |' "a UTF-8 locale selects utf-8"
  for name in utf-8 UTF8 65001; do
    run --codepage $name '' u8.txt; expect_out '|開発部  |開 |' "--codepage $name"
  done
  MORVANE_CODEPAGE=utf8 run '' u8.txt; expect_out '|開発部  |開 |' "MORVANE_CODEPAGE=utf8"
  run --codepage none '' u8.txt; expect_out '|開発部|\xe9\x96\x8b|' "--codepage none counts bytes"
  run --tags '' u8.txt; { printf '（出力結果）\n'"${builtins}"'d\n'; } >expected
  cmp -s out expected || fail "--tags in utf-8"
  cp932 '[表 data="表"]' >name.txt
  run --codepage 932 --value 表 '' name.txt; expect_rc 0 "--value converts NAME"; cp932 '表' >expected
  cmp -s out expected || fail "--value NAME in the locale's encoding finds the code page 932 tag"
  ;;
epoch)
  printf '[_year]-[_month2]-[_day2] [_hour2]:[_minute2]:[_second2].[_millisecond2] [_dayofweek] [_noon] [_noonhour2] [_year2]' >m.txt
  TZ=UTC SOURCE_DATE_EPOCH=951827696 run '' m.txt; expect_rc 0 "epoch"
  expect_out '2000-02-29 12:34:56.000 2 1 12 00' "SOURCE_DATE_EPOCH in UTC"
  TZ=JST-9 SOURCE_DATE_EPOCH=951827696 run '' m.txt; expect_out '2000-02-29 21:34:56.000 2 1 09 00' "SOURCE_DATE_EPOCH honours TZ"
  TZ=UTC SOURCE_DATE_EPOCH=0 run '' m.txt; expect_out '1970-01-01 00:00:00.000 4 0 12 70' "the epoch itself"
  # An empty value counts as unset: the real clock.
  year=$(date -u +%Y)
  TZ=UTC SOURCE_DATE_EPOCH= run --value _year '' ''; expect_rc 0 "empty SOURCE_DATE_EPOCH"
  [ "$(cat out)" -ge "$year" ] 2>/dev/null || fail "an empty SOURCE_DATE_EPOCH reads the real clock"
  # A value that cannot be a date fails the run instead of quietly giving another output.
  for bad in 951827696x ' 951827696' -1 1e9 0x10 99999999999999 99999999999999999999999; do
    TZ=UTC SOURCE_DATE_EPOCH=$bad run '' m.txt; expect_rc 64 "SOURCE_DATE_EPOCH='$bad'"
    expect_out '' "SOURCE_DATE_EPOCH='$bad' prints nothing"
    grep -qF "morvane-cli: SOURCE_DATE_EPOCH='$bad' " err || fail "SOURCE_DATE_EPOCH='$bad' is named in the message"
  done
  TZ=UTC SOURCE_DATE_EPOCH=1e9 run -o dated.txt '' m.txt; [ ! -e dated.txt ] || fail "bad SOURCE_DATE_EPOCH writes nothing"
  ;;
paths)
  # Non-ASCII paths on the command line (UTF-8 locale) under code page 932; 表 holds a 0x5C trail byte.
  mkdir -p 'データ/表'
  cp932 '値は[v]' >'データ/表/メイン.txt'
  printf '[v data="ok"]' >'データ/ヘッダー.txt'
  run --codepage 932 'データ/ヘッダー.txt' 'データ/表/メイン.txt'; expect_rc 0 "non-ASCII paths"
  { cp932 '値は'; printf 'ok'; } >expected; cmp -s out expected || fail "non-ASCII paths under 932"
  # datafile resolved against the main file's directory, the path's own 表 included.
  cp932 '[d datafile="\表\データ.txt"][d]' >'データ/main2.txt'
  printf 'from datafile' >'データ/表/データ.txt'
  run --codepage 932 '' 'データ/main2.txt'; expect_rc 0 "datafile"; expect_out 'from datafile' "datafile under 932"
  run --codepage 932 -o 'データ/結果.txt' '' 'データ/main2.txt'; expect_rc 0 "-o non-ASCII"
  printf 'from datafile' >expected; cmp -s 'データ/結果.txt' expected || fail "-o to a non-ASCII path"
  run --codepage 932 '' 'データ/😀.txt'; expect_rc 64 "a path the code page cannot hold"
  grep -q '^morvane-cli: ' err || fail "unconvertible path message"
  run "$work/データ/ヘッダー.txt" "$work/データ/main2.txt"; expect_rc 0 "absolute UTF-8 paths without a code page"
  ;;
locale)
  # Locales of other encodings, built into the work folder: EUC-JP, and Latin-1, which holds no Japanese.
  mkdir -p loc
  localedef -i ja_JP -f EUC-JP loc/ja_JP.EUC-JP 2>/dev/null || fail "cannot build the ja_JP.EUC-JP locale"
  localedef -i en_US -f ISO-8859-1 loc/en_US.ISO-8859-1 2>/dev/null || fail "cannot build the en_US.ISO-8859-1 locale"
  export LOCPATH=$work/loc
  euc() { printf '%s' "$1" | iconv -f UTF-8 -t EUC-JP; }
  run_in ja_JP.EUC-JP missing.txt ''; expect_rc 1 "EUC-JP locale"
  { printf 'morvane-cli: '; euc 'ヘッダーファイルの読み込みに失敗しました。 missing.txt: ファイルがありません'; printf '\n'; } >expected
  cmp -s err expected || fail "messages in the locale's encoding"
  env -u LC_ALL LC_CTYPE=en_US.ISO-8859-1 LC_MESSAGES=ja_JP.UTF-8 "$cli" missing.txt '' >out 2>err; rc=$?
  expect_rc 1 "Latin-1 locale"
  expect_err 'morvane-cli: ヘッダーファイルの読み込みに失敗しました。 missing.txt: ファイルがありません\n' "messages the locale cannot show stay UTF-8"
  # An EUC-JP argument reaches the run in code page 932; the file's name on disk is in the locale's encoding.
  name=$(euc 'メイン表.txt')
  cp932 '[表 data="値"]<[表]>' >"$name"
  run_in ja_JP.EUC-JP --codepage 932 '' "$name"; expect_rc 0 "EUC-JP path under 932"
  { printf '<'; cp932 '値'; printf '>'; } >expected; cmp -s out expected || fail "EUC-JP path under 932"
  run_in ja_JP.EUC-JP --codepage 932 --value "$(euc '表')" '' "$name"; expect_rc 0 "EUC-JP NAME"
  cp932 '値' >expected; cmp -s out expected || fail "EUC-JP NAME finds the code page 932 tag"
  run_in ja_JP.EUC-JP --codepage 932 --tags '' "$name"
  { cp932 '（出力結果）'; printf "\n${builtins}"; cp932 '表'; printf '\n'; } >expected
  cmp -s out expected || fail "--tags is in the active code page whatever the locale"
  run_in ja_JP.EUC-JP --codepage 932 '' "$(printf 'bad\xff.txt')"; expect_rc 64 "invalid EUC-JP argument"
  # utf-8 under an EUC-JP locale: arguments become UTF-8, file names go back to EUC-JP.
  name=$(euc 'ユー表.txt')
  printf '[表 data="値"]<[表 min="4"]>' >"$name"
  run_in ja_JP.EUC-JP --codepage utf-8 '' "$name"; expect_rc 0 "EUC-JP path under utf-8"; expect_out '<値  >' "EUC-JP path under utf-8"
  run_in ja_JP.EUC-JP --codepage utf-8 --value "$(euc '表')" '' "$name"; expect_out '値' "EUC-JP NAME under utf-8"
  ;;
examples)
  # The shipped examples, dated reproducibly, against their recorded results.
  expected_dir=$source_dir/tests/tool/cli/expected
  TZ=UTC SOURCE_DATE_EPOCH=951827696 run --codepage utf-8 "$source_dir/examples/utf-8/header.txt" \
    "$source_dir/examples/utf-8/main.txt"
  # Its main file shows that a missing tag vanishes, which counts as a warning.
  expect_rc 0 "UTF-8 example"; expect_err 'morvane-cli: 1 warning (--warn shows it)\n' "UTF-8 example"
  cmp -s out "$expected_dir/example-utf-8.txt" || fail "UTF-8 example result"
  TZ=UTC SOURCE_DATE_EPOCH=951827696 run --codepage 932 "$source_dir/examples/cp932/header.txt" \
    "$source_dir/examples/cp932/main.txt"
  expect_rc 0 "cp932 example"; expect_err 'morvane-cli: 1 warning (--warn shows it)\n' "cp932 example"
  cmp -s out "$expected_dir/example-cp932.txt" || fail "cp932 example result"
  # Fields count columns in utf-8 as they count bytes in 932, so both results are the same text.
  iconv -f CP932 -t UTF-8 "$expected_dir/example-cp932.txt" | cmp -s - "$expected_dir/example-utf-8.txt" ||
    fail "the UTF-8 and cp932 examples' results hold the same text"
  # The two sets hold the same text in two encodings.
  for f in header.txt main.txt data/notes.txt; do
    iconv -f CP932 -t UTF-8 "$source_dir/examples/cp932/$f" | cmp -s - "$source_dir/examples/utf-8/$f" ||
      fail "examples/cp932/$f is examples/utf-8/$f in code page 932"
  done
  ;;
*) unknown_group ;;
esac
finish_group
