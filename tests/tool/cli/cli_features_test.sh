#!/usr/bin/env bash
# End-to-end checks of morvane-cli's messages, warnings, standard streams, definitions and dependency files:
# cli_features_test.sh BINARY GROUP runs one group of cases.
set -uo pipefail
cli=$1
group=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
export LC_ALL=C.UTF-8
unset MORVANE_CODEPAGE SOURCE_DATE_EPOCH LANG LANGUAGE LC_MESSAGES
failures=0
source "$(dirname "${BASH_SOURCE[0]}")/test_lib.sh"

case $group in
messages)
  # A read failure names the file and why; a failed expansion names the file and the limit that ended it.
  # The same table in English and in Japanese (the fixed sentence first).
  mkdir folder
  head -c 1048576 /dev/zero | tr '\0' 'a' >big.txt
  printf '[s data="[s]"][s]' >self.txt
  printf '[a data="[b]"][b data="[a]"][a]' >cycle.txt
  printf '[s data="again [s]"][s]' >again.txt
  printf '[x data="v"][x min="-1"]' >field.txt
  printf '[g data="[g][g]"][g]' >grow.txt
  while IFS='|' read -r file english japanese; do
    run '' "$file"
    [ "$rc" -eq 1 ] || [ "$rc" -eq 2 ] || fail "$file: status"
    expect_err_line "morvane-cli: $file: $english" "$file in English"
    LC_ALL=ja_JP.UTF-8 "$cli" '' "$file" >out 2>err
    grep -qF -- "$file: $japanese" err || fail "$file in Japanese: $(cat err)"
    case $rc in
    1) grep -q '^morvane-cli: メインファイルの読み込みに失敗しました。 ' err || fail "$file: the fixed sentence first" ;;
    esac
  done <<'TABLE'
missing.txt|cannot read: No such file or directory|ファイルがありません
folder|cannot read: is a folder|フォルダーです
big.txt|cannot read: larger than 1,048,575 bytes|1,048,575 バイトより大きいファイルです
self.txt|cannot expand: tag 's' keeps expanding to itself|タグ 's' が自分自身に展開され続けます
cycle.txt|cannot expand: more than 4,096 passes: the value of tag 'b' keeps making new expressions|展開が 4,096 回を超えました。タグ 'b' の値が新しい式を作り続けています
again.txt|cannot expand: more than 33,554,432 bytes read over all passes: the value of tag 's' keeps growing|展開で読んだ量が 33,554,432 バイトを超えました。タグ 's' の値が大きくなり続けています
field.txt|cannot expand: tag 'x' would write 4,294,967,295 bytes, more than the 1,048,575 a result holds (see its loop and min)|タグ 'x' の出力が 4,294,967,295 バイトになり
grow.txt|cannot expand: the text would grow beyond 1,048,575 bytes while tag 'g' is written|タグ 'g' を書くうちにテキストが 1,048,575 バイトを超えます
TABLE
  LC_ALL=ja_JP.UTF-8 "$cli" '' self.txt >out 2>err
  grep -q '^morvane-cli: メモリ不足またはオーバーフローが発生しました。 self.txt: ' err || fail "expansion: the fixed sentence first"
  # A file the user may not read (as an unprivileged user, since root reads anything).
  if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null; then
    mkdir -m 755 open && printf 'x' >open/secret.txt && chmod 000 open/secret.txt && chmod 755 .
    setpriv --reuid=nobody --regid=nogroup --clear-groups "$cli" '' open/secret.txt >out 2>err
    grep -qxF 'morvane-cli: open/secret.txt: cannot read: permission denied' err || fail "permission denied: $(cat err)"
  fi
  # Writes name their file too.
  printf 'x' >m.txt
  run -o folder '' m.txt; expect_rc 74 "-o a folder"; expect_err_line "morvane-cli: folder: cannot write: is a folder" "-o a folder"
  printf 'old' >ro.txt && chmod 444 ro.txt
  run -o ro.txt '' m.txt; expect_rc 74 "-o read-only"; expect_err_line "morvane-cli: ro.txt: cannot write: read-only" "-o read-only"
  # Usage errors follow the language.
  LC_ALL=ja_JP.UTF-8 "$cli" --bogus a b >out 2>err; rc=$?
  expect_rc 64 "Japanese usage error"
  grep -qxF "morvane-cli: 不明なオプション '--bogus' です" err || fail "Japanese usage error: $(cat err)"
  LC_ALL=C LC_MESSAGES=ja_JP.UTF-8 "$cli" --bogus a b >out 2>err
  grep -q '^morvane-cli: unknown option' err || fail "LC_ALL wins over LC_MESSAGES"
  env -u LC_ALL LC_MESSAGES=ja_JP.UTF-8 LANG=C "$cli" --bogus a b >out 2>err
  grep -q '^morvane-cli: 不明なオプション' err || fail "LC_MESSAGES wins over LANG"
  ;;
warnings)
  # Each thing the language drops, ignores or partly applies, with its place and in both languages.
  {
    printf '[x dta="v"]\n'
    printf '[PLUMS][plums data="p"]\n'
    printf '[m data="v"][m min=6] [m min = "6"] [m align="rigth"] [m min="010"] [m readonly="maybe"]\n'
    printf 'arr[0] [later][later data="L"]\n'
    printf '[f datafile="\\missing.txt"][ro data="1" readonly="yes"][ro data="2"]\n'
    printf '[%s]\n' "$(printf 'n%.0s' $(seq 32))"
    printf '[v data="[gone]"][v]\n'
    printf '[open data="unclosed\n'
  } >main.txt
  run --warn '' main.txt; expect_rc 0 "--warn keeps the status"
  while IFS='|' read -r line; do
    expect_err_line "$line" "$line"
  done <<'TABLE'
main.txt:1:4: warning: 'dta' is no keyword: ignored, and its value is read as words; did you mean 'data'? [unknown-keyword]
main.txt:1:1: warning: no tag 'x': the expression is dropped [unknown-tag]
main.txt:2:1: warning: no tag 'PLUMS': the expression is dropped; there is a tag 'plums' (names are case-sensitive) [unknown-tag]
main.txt:3:20: warning: the value of 'min' is not quoted: it is empty (as a number, 0) [unquoted]
main.txt:3:26: warning: a space between 'min' and '=': the attribute is ignored [space]
main.txt:3:46: warning: align="rigth" is none of left, center, right: ignored [choice]
main.txt:3:62: warning: min="010" reads as 8 (a leading 0 makes it octal) [number]
main.txt:3:81: warning: readonly="maybe" is neither yes nor no: ignored [choice]
main.txt:4:4: warning: no tag '0': the expression is dropped [unknown-tag]
main.txt:4:8: warning: no tag 'later': the expression is dropped; it is defined later, and a reference before its definition finds nothing [unknown-tag]
main.txt:5:13: warning: datafile "\missing.txt" cannot be read: No such file or directory; the tag keeps its value [datafile]
main.txt:5:65: warning: tag 'ro' is read-only: data is ignored [read-only]
main.txt:6:1: warning: a name of 32 bytes or more: the '[' stays as text [long-name]
main.txt: pass 2: warning: no tag 'gone': the expression is dropped, in '[gone]' [unknown-tag]
main.txt:8:12: warning: a quoted value is not closed: it runs to the end of the text [unclosed]
main.txt:8:1: warning: '[open' has no ']': the expression runs to the end of the text [unclosed]
TABLE
  # One line each, no more: a place is told once, and the words of a noticed value stay silent.
  [ "$(grep -c ': warning: ' err)" -eq 16 ] || fail "expected 16 warnings, got $(grep -c ': warning: ' err)"
  LC_ALL=ja_JP.UTF-8 "$cli" --warn '' main.txt >out 2>err
  expect_err_line "main.txt:1:4: 警告: 'dta' はキーワードではありません。無視され、その値は単語として読まれます。'data' のことですか [unknown-keyword]" "Japanese warning"
  expect_err_line "main.txt:3:62: 警告: min=\"010\" は 8 と読まれます（先頭の 0 で 8 進数になります） [number]" "Japanese number"
  # Columns count characters of the code page: a kanji is one.
  printf '日本[missing]\n' >u.txt
  run --warn '' u.txt; expect_err_line "u.txt:1:3: warning: no tag 'missing': the expression is dropped [unknown-tag]" "utf-8 column"
  cp932 '日本[missing]' >s.txt
  run --warn --codepage 932 '' s.txt; expect_err_line "s.txt:1:3: warning: no tag 'missing': the expression is dropped [unknown-tag]" "932 column"
  # An expression that lost its ']' swallows the next lines; what it reads there says where it began.
  printf '[b data="B"\n[c data="C"]\n' >open.txt
  run --warn '' open.txt
  grep -q "^open.txt:2:1: warning: .*(inside '\[b', begun at line 1, column 1: a missing ']'?)" err || fail "open expression note"
  # The header's warnings name the header.
  printf '[h dta="1"]' >h.txt
  run --warn h.txt ''; grep -q '^h.txt:1:4: warning: ' err || fail "header warnings"
  # A '[' left as text in a full table is told once, though a later pass reads it again with what followed
  # it expanded.
  for i in $(seq 997); do printf '[t%d data="1"]' "$i"; done >full.txt
  printf '[new data="v" x="[t1]"]\n' >fm.txt
  run --warn full.txt fm.txt; expect_out '[new data="v" x="1"]\n' "full table"
  [ "$(grep -c 'the tag table is full' err)" -eq 1 ] || fail "full table told once"
  expect_err_line "fm.txt:1:1: warning: the tag table is full (1,024 tags): the '[' of a new tag stays as text [table-full]" "full table"
  # Without --warn, only their number.
  run '' main.txt; expect_err 'morvane-cli: 16 warnings (--warn shows them)\n' "warnings without --warn"
  ;;
strict)
  printf '[x data="v"]<[x]>' >clean.txt
  printf '[x data="v"]<[y]>' >warned.txt
  printf 'old' >keep.txt
  run --strict '' clean.txt; expect_rc 0 "--strict clean"; expect_out '<v>' "--strict clean"
  run --strict '' warned.txt; expect_rc 4 "--strict warned"; expect_out '' "--strict prints nothing"
  grep -q '^warned.txt:1:14: warning: ' err || fail "--strict tells the warning"
  run --strict -o keep.txt '' warned.txt; expect_rc 4 "--strict -o"
  [ "$(cat keep.txt)" = old ] || fail "--strict writes nothing with -o"
  run --strict -o fresh.txt '' warned.txt; [ ! -e fresh.txt ] || fail "--strict creates nothing"
  # The order of statuses: 2 before 4, 4 before 3 and 1.
  printf '[x data="v"][x loop="-1"][y]' >failing.txt
  run --strict '' failing.txt; expect_rc 2 "2 wins over 4"
  run --strict --value none missing.txt warned.txt; expect_rc 4 "4 wins over 3 and 1"
  ;;
stdin)
  printf '[who data="pipe"]' >h.txt
  printf 'hello [who]' | "$cli" h.txt - >out 2>err; rc=$?
  expect_rc 0 "main from standard input"; expect_out 'hello pipe' "main from standard input"
  printf '[who data="stdin"]' | "$cli" - <(printf 'hi [who]') >out 2>err; rc=$?
  expect_rc 0 "header from standard input, main from a pipe"; expect_out 'hi stdin' "header from stdin"
  mkfifo fifo
  (printf 'from a fifo' >fifo &)
  run '' fifo; expect_rc 0 "a FIFO"; expect_out 'from a fifo' "a FIFO"
  # A '\' datafile path in standard input's text lies in the working directory.
  mkdir -p data && printf 'notes' >data/n.txt
  printf '[n datafile="\\data\\n.txt"][n]' | "$cli" '' - >out 2>err; rc=$?
  expect_out 'notes' "datafile from standard input"
  # The same limit as files, and standard input is told as such.
  head -c 1048576 /dev/zero | tr '\0' 'a' | "$cli" '' - >out 2>err; rc=$?
  expect_rc 1 "standard input over the limit"; grep -q 'larger than 1,048,575 bytes' err || fail "limit message"
  run - -; expect_rc 64 "both from standard input"
  # A datafile is never a FIFO: the run cannot be made to wait. It is a file that cannot be read (status 1).
  printf '[f datafile="fifo"]<[f]>' >df.txt
  timeout 5 "$cli" '' df.txt >out 2>err; rc=$?
  expect_rc 1 "datafile FIFO refused at once"; expect_out '<>' "datafile FIFO"
  expect_err_line "morvane-cli: df.txt: datafile fifo: cannot read: not a regular file (a device or a pipe)" "datafile FIFO"
  # -o - writes to standard output.
  printf 'to stdout' >m.txt
  run -o - '' m.txt; expect_rc 0 "-o -"; expect_out 'to stdout' "-o -"; [ ! -e ./- ] || fail "-o - made a file"
  run -o - --tags '' m.txt; expect_rc 64 "-o - with --tags"
  ;;
define)
  printf '[title data="from the header"]' >h.txt
  printf '<[title]> <[v]> [v data="changed"]<[v]> [_year]' >m.txt
  run -D title=Given -D 'v=a "quoted" value' -D _year=1999 h.txt m.txt
  expect_rc 0 "-D"; expect_out '<Given> <a "quoted" value> <a "quoted" value> 1999' "-D wins over the files"
  printf '<[v]>' >m2.txt
  run --define=v=first -D v=second '' m2.txt; expect_out '<second>' "a later -D wins"
  run -D v= '' m2.txt; expect_rc 0 "-D empty value"; expect_out '<>' "-D empty value"
  run --tags -D zz=1 '' ''; tail -n1 out | grep -qx zz || fail "-D tags are listed"
  run -D novalue '' m.txt; expect_rc 64 "-D without ="
  run -D 'two words=x' '' m.txt; expect_rc 64 "-D name with a space"
  run -D "$(printf 'n%.0s' $(seq 32))=x" '' m.txt; expect_rc 64 "-D name of 32 bytes"
  run -D "$(printf 'n%.0s' $(seq 31))=x" '' m.txt; expect_rc 0 "-D name of 31 bytes"
  cp932 '[表]' >sj.txt
  run --codepage 932 -D 表=値 '' sj.txt; cp932 '値' >expected; cmp -s out expected || fail "-D converted to the code page"
  # -D values are literal: what a reference writes, shaped as asked, is never read again.
  printf '[n data="[y]"][y data="Y"][et data="!"]' >lh.txt
  while IFS='|' read -r value template expected; do
    printf '%s' "$template" >lm.txt
    run --strict -D "v=$value" lh.txt lm.txt
    expect_rc 0 "-D v=$value $template"; expect_out "$expected" "-D v=$value $template"
  done <<'TABLE'
ACME [Japan] K.K.|Dear [v],|Dear ACME [Japan] K.K.,
ACME [Japan] K.K.|[v min="20" padding="."]:|ACME [Japan] K.K....:
S3cr[et]Pw|[v]|S3cr[et]Pw
a\[b|[v]|a\\[b
C:\dir\|[v][n]|C:\\dir\\Y
say "hi" ]|<[v max="6" align="right"]>|<"hi" ]>
[x]|[v loop="2"][v min="5" padding="[" align="right"]|[x][x][[[x]
TABLE
  cp932 '[v][n]' >sjm.txt
  run --codepage 932 -D 'v=ソ表[x]' lh.txt sjm.txt; cp932 'ソ表[x]Y' >expected
  cmp -s out expected || fail "-D values in code page 932 keep their second bytes 0x5C"
  # A warning of a later pass never quotes a literal value.
  printf '[a data="[nope "][a][pw]' >leak.txt
  run --strict -D 'pw=S3cr[et]Pw' '' leak.txt; expect_rc 4 "--strict and a later pass that meets a literal"
  ! grep -q 'S3cr' err || fail "a warning quotes a -D value"
  expect_err_line "leak.txt: pass 2: warning: '[nope' has no ']': the expression runs to where a literal value begins, in '[nope ...' [unclosed]" "the excerpt stops before the value"
  # A default in the header overridden with -D is no warning; a -D nothing refers to is one.
  printf '[workers data="8"][log_level data="info"]' >dh.txt
  printf 'workers=[workers] log_level=[log_level]' >dm.txt
  run --strict -D log_level=debug dh.txt dm.txt; expect_rc 0 "a -D over a header's default"; expect_out 'workers=8 log_level=debug' "a -D over a default"
  run --strict -D wokers=16 dh.txt dm.txt; expect_rc 4 "a misspelt -D under --strict"
  expect_err_line "morvane-cli: warning: -D 'wokers' is never referenced [unused-define]" "a misspelt -D"
  run --warn -D wokers=16 dh.txt dm.txt; expect_rc 0 "a misspelt -D under --warn"; expect_out 'workers=8 log_level=info' "a misspelt -D"
  run --strict -D x=1 --value x '' ''; expect_rc 0 "--value refers to its -D"
  run_in ja_JP.UTF-8 --warn -D wokers=16 dh.txt dm.txt
  expect_err_line "morvane-cli: 警告: -D 'wokers' はどこからも参照されていません [unused-define]" "a misspelt -D in Japanese"
  # The table holds 997 tags besides the built-ins; a -D given again takes no second entry.
  defines=(); for i in $(seq 997); do defines+=(-D "t$i=v"); done
  run "${defines[@]}" -D t1=again '' m2.txt; expect_rc 0 "997 -D"
  run "${defines[@]}" -D t998=v -D t999=v '' m2.txt; expect_rc 64 "998 -D"
  expect_err_line "morvane-cli: -D t998=v: more tags than the table holds (997 besides the built-ins)" "998 -D"
  ;;
deps)
  mkdir -p 'sub dir' data
  printf '[n datafile="\\data\\notes.txt"][m datafile="\\data\\missing.txt"][o datafile="\\data\\a$b#c.txt"]' >'sub dir/h.txt'
  mkdir -p 'sub dir/data' && printf 'notes' >'sub dir/data/notes.txt' && printf 'odd' >'sub dir/data/a$b#c.txt'
  printf '[n][n datafile="\\data\\notes.txt"]' >main.txt
  run --deps out.d -o 'out file.txt' 'sub dir/h.txt' main.txt; expect_rc 0 "--deps"
  # Each file found once, in the order read: the header, its datafiles, the main file. The datafiles that do
  # not exist (one beside the header, one beside main.txt in the working directory) are no prerequisites.
  {
    printf '%s\n' 'out\ file.txt: \' ' sub\ dir/h.txt \' ' sub\ dir/data/notes.txt \'
    printf '%s\n' ' sub\ dir/data/a$$b\#c.txt \' ' main.txt' '' 'sub\ dir/h.txt:' ''
    printf '%s\n' 'sub\ dir/data/notes.txt:' '' 'sub\ dir/data/a$$b\#c.txt:' ''
    printf '%s\n' 'main.txt:'
  } >expected
  cmp -s out.d expected || { fail "dependency file"; diff out.d expected; }
  run --deps t.d --deps-target all '' main.txt; expect_rc 0 "--deps-target"; head -n1 t.d | grep -q '^all: ' || fail "--deps-target"
  run --deps none.d -o x.txt '' missing.txt; [ ! -e none.d ] || fail "no dependency file without a result"
  run --deps d.d '' main.txt; expect_rc 64 "--deps without a target"
  # A file that exists but cannot be read is a prerequisite: make rebuilds once it is readable again.
  if [ "$(id -u)" != 0 ]; then
    printf 'locked' >locked.txt && chmod 0 locked.txt
    printf '[l datafile="locked.txt"]' >locked.tmpl
    run --deps l.d -o l.txt '' locked.tmpl; grep -qx ' locked.txt' l.d || fail "an unreadable datafile is listed"
    chmod 644 locked.txt
  fi
  # --deps never replaces a file of the run, however it is named; nothing is written then. (The -o file is
  # compared by name too, as it need not exist yet; the inputs by what they are.)
  printf 'keep' >keep.txt
  printf '[x data="1"]' >h0.txt
  while IFS='|' read -r deps target args; do
    cp main.txt main.saved
    # shellcheck disable=SC2086
    run --deps "$deps" $args; expect_rc 64 "--deps $deps $args"
    case $target in
    -o*) expected="morvane-cli: --deps $deps is the same file as $target: writing the rules there would replace it" ;;
    *) expected="morvane-cli: --deps $deps is the same file as $target, which the run reads: nothing written" ;;
    esac
    expect_err_line "$expected" "--deps $deps names $target"
    cmp -s main.txt main.saved && [ "$(cat keep.txt)" = keep ] && [ "$(cat h0.txt)" = '[x data="1"]' ] || fail "--deps $deps $args changed a file"
  done <<'TABLE'
keep.txt|-o keep.txt|-o keep.txt h0.txt main.txt
./keep.txt|-o keep.txt|-o keep.txt h0.txt main.txt
new.txt|-o ./new.txt|-o ./new.txt h0.txt main.txt
main.txt|MAIN main.txt|-o out.txt h0.txt main.txt
./h0.txt|HEADER h0.txt|--deps-target all h0.txt main.txt
TABLE
  [ ! -e new.txt ] || fail "a refused --deps wrote the result"
  run -o '' '' main.txt; expect_rc 64 "-o ''"; expect_err_line "morvane-cli: -o needs a file name, not an empty one" "-o ''"
  run --deps '' -o x.txt '' main.txt; expect_rc 64 "--deps ''"
  # A real make: rebuilt when a datafile changes, not otherwise.
  printf '[n datafile="\\data\\notes.txt"]<[n]>' >page.tmpl
  mkdir -p data && printf 'one' >data/notes.txt
  cat >Makefile <<MAKE
page.txt: page.tmpl
	"$cli" --deps page.d -o page.txt '' page.tmpl
-include page.d
MAKE
  make -s >make.log 2>&1 || fail "make: $(cat make.log)"
  [ "$(cat page.txt)" = '<one>' ] || fail "first make"
  make -s -q page.txt || fail "make thinks page.txt is out of date right after building it"
  sleep 1 && printf 'two' >data/notes.txt
  make -s -q page.txt && fail "a changed datafile does not make page.txt out of date"
  make -s >make.log 2>&1 && [ "$(cat page.txt)" = '<two>' ] || fail "make after the datafile changed"
  rm data/notes.txt
  make -s >make.log 2>&1 || fail "a deleted datafile stops make: $(cat make.log)"
  make -s -q page.txt || fail "a missing datafile makes page.txt out of date for ever"
  ;;
quiet)
  # Without --warn, a run that had warnings ends with one line that counts them, in the locale's language;
  # -q leaves it out. Neither changes the status or the output.
  printf '[x data="v"]<[x]>' >clean.txt
  printf '<[a]>' >one.txt
  printf '<[a]><[b]>[x data="v"][x min="08"]' >three.txt
  printf '[x data="v"][x loop="-1"][y]' >failing.txt
  printf '[x data="abcdef"][x max="3"]' >cut.txt
  counted='morvane-cli: 3 warnings (--warn shows them)'
  while IFS='|' read -r locale args status stderr; do
    eval "set -- $args"
    LC_ALL=$locale "$cli" "$@" >out 2>err; rc=$?
    expect_rc "$status" "$args"
    expect_err "$stderr" "$locale $args"
  done <<TABLE
C.UTF-8|'' clean.txt|0|
C.UTF-8|'' one.txt|0|morvane-cli: 1 warning (--warn shows it)\n
C.UTF-8|'' three.txt|0|$counted\n
C.UTF-8|-q '' three.txt|0|
C.UTF-8|--quiet '' three.txt|0|
ja_JP.UTF-8|'' three.txt|0|morvane-cli: 警告が 3 件あります（--warn で表示されます）\n
C.UTF-8|missing.txt three.txt|1|morvane-cli: missing.txt: cannot read: No such file or directory\n$counted\n
C.UTF-8|--no-warn=unknown-tag '' three.txt|0|morvane-cli: 1 warning (--warn shows it)\n
C.UTF-8|--no-warn=all '' three.txt|0|
C.UTF-8|'' cut.txt|0|
C.UTF-8|--warn=cut -q '' cut.txt|0|cut.txt:1:25: warning: tag 'x' is 6 columns wide: max cuts it to 3 [cut]\n
C.UTF-8|'' failing.txt|2|morvane-cli: failing.txt: cannot expand: tag 'x' would write 4,294,967,295 bytes, more than the 1,048,575 a result holds (see its loop and min)\nmorvane-cli: 1 warning (--warn shows it)\n
C.UTF-8|-D unused=1 '' clean.txt|0|morvane-cli: 1 warning (--warn shows it)\n
TABLE
  run -o out.txt '' three.txt; expect_rc 0 "-o with warnings"; [ "$(cat out.txt)" = '<><>v' ] || fail "-o with warnings writes"
  ;;
classes)
  # Every warning ends with its class; one example of each, and the classes that are off by default told
  # only when asked for.
  printf 'notes' >notes.txt
  printf 'name,city\nIto,Osaka\n' >rows.csv
  while IFS='|' read -r args text line; do
    printf "$text" >main.txt
    # shellcheck disable=SC2086
    "$cli" --warn $args '' main.txt >out 2>err; rc=$?
    expect_err_line "$line" "$args $text"
    grep -v ' \[[a-z-]*\]$' err | grep -q . && fail "$text: a line without its class"
  done <<'TABLE'
|[x]|main.txt:1:1: warning: no tag 'x': the expression is dropped [unknown-tag]
|[x data="v"][x lop="2"]|main.txt:1:16: warning: 'lop' is no keyword: ignored, and its value is read as words; did you mean 'loop'? [unknown-keyword]
|[x data="v"][x min]|main.txt:1:16: warning: 'min' has no '=' and no value: ignored [stray-word]
|[x data="v"][x min= "2"]|main.txt:1:20: warning: a space after 'min=': the value is empty [space]
|[x data="v"][x min=2]|main.txt:1:20: warning: the value of 'min' is not quoted: it is empty (as a number, 0) [unquoted]
|[x data="v"][x min="08"]|main.txt:1:20: warning: min="08" reads as 0 (a leading 0 makes it octal, which stops at 8 or 9) [number]
|[x data="v"][x align="middle"]|main.txt:1:22: warning: align="middle" is none of left, center, right: ignored [choice]
--codepage 932|[x data="v"][x min="3" padding="\x81\x96"]|main.txt:1:32: warning: padding="＊" begins with a double-byte character: only its first byte pads (use a single-byte character) [padding]
|[x data="v|main.txt:1:9: warning: a quoted value is not closed: it runs to the end of the text [unclosed]
|[x data="a] [y data="b"]|main.txt:1:9: warning: this quoted value takes in a bracket or a line break and is closed only by the quote at line 1, column 21: a missing '"'? [unclosed]
|[nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn]|main.txt:1:1: warning: a name of 32 bytes or more: the '[' stays as text [long-name]
|[x data="v" readonly="yes"][x data="w"]|main.txt:1:36: warning: tag 'x' is read-only: data is ignored [read-only]
|[x datafile="\\\\none.txt"]|main.txt:1:13: warning: datafile "\\none.txt" cannot be read: No such file or directory; the tag keeps its value [datafile]
|[x data="v"][x literal="yes"]|main.txt:1:24: warning: literal="yes" in an expression that sets no value (no data, or a datafile that cannot be read): ignored [literal]
--warn=cut|[x data="abcdef"][x max="3"]|main.txt:1:25: warning: tag 'x' is 6 columns wide: max cuts it to 3 [cut]
--codepage 932 --warn=cut|[x data="abcdef"][x max="3"]|main.txt:1:25: warning: tag 'x' is 6 bytes long: max cuts it to 3 [cut]
|ok \x95\x5c|main.txt:1:4: warning: byte 0x95 is not valid in code page utf-8: the file is most likely in another encoding; all of it reads as code page 932: try --codepage 932 [codepage]
|\xef\xbb\xbfHello|main.txt:1:1: warning: the file begins with a UTF-8 byte-order mark: it is copied into the result [bom]
-D y=1|[x data="v"]|morvane-cli: warning: -D 'y' is never referenced [unused-define]
--warn=unused-field --rows rows.csv|[name]|morvane-cli: warning: field 'city' of rows.csv is never referenced [unused-field]
TABLE
  # Off by default: neither told nor counted.
  printf '[x data="abcdef"][x max="3"]' >main.txt
  run --strict '' main.txt; expect_rc 0 "cut is off by default"; expect_err '' "cut is off by default"
  run --strict --warn=cut '' main.txt; expect_rc 4 "--strict fails on a class switched on"
  printf '[name]' >main.txt
  run --strict --rows rows.csv '' main.txt; expect_rc 0 "unused-field is off by default"
  run --strict --warn=all --rows rows.csv '' main.txt; expect_rc 4 "--warn=all: unused-field too"
  # Switched off, in order: the last word on a class wins.
  printf '[x]' >main.txt
  run --strict --no-warn=unknown-tag '' main.txt; expect_rc 0 "--no-warn"; expect_err '' "--no-warn"
  run --strict --no-warn=all --warn=unknown-tag '' main.txt; expect_rc 4 "--no-warn=all, then one class"
  # The list is only ever taken after '=': "--warn FILE" leaves FILE a file.
  run --warn main.txt main.txt; expect_rc 0 "--warn FILE"
  expect_err_line "main.txt:1:1: warning: no tag 'x': the expression is dropped [unknown-tag]" "--warn FILE"
  run --warn=bogus '' main.txt; expect_rc 64 "an unknown class"
  expect_err_line "morvane-cli: unknown warning class 'bogus': all, unknown-tag, unknown-keyword, stray-word, space, unquoted, number, choice, padding, unclosed, long-name, table-full, read-only, datafile, literal, cut, codepage, bom, unused-define, unused-field" "an unknown class"
  ;;
*) unknown_group ;;
esac
finish_group
