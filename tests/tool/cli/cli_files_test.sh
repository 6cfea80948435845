#!/usr/bin/env bash
# End-to-end checks of what morvane-cli does with the files around a run: outputs that name an input,
# devices as outputs, owners kept, datafiles that cannot be read, closed standard streams, and --deps names
# read back by a real GNU make. cli_files_test.sh BINARY GROUP runs one group of cases.
set -uo pipefail
cli=$1
group=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d)
[ -n "${KEEP_WORK:-}" ] && echo "work: $work" || trap 'chmod -R u+rwx "$work" 2>/dev/null; rm -rf "$work"' EXIT
chmod 755 "$work"
cd "$work" || exit 1
export LC_ALL=C.UTF-8
unset MORVANE_CODEPAGE SOURCE_DATE_EPOCH LANG LANGUAGE LC_MESSAGES
failures=0
source "$here/test_lib.sh" || exit 2

# The state of the working folder: every file's name and content, for "nothing written".
snapshot() {
  find . -type f ! -name out ! -name err ! -name expected ! -name before ! -name after -print0 | sort -z |
    xargs -0 md5sum
}
# as_nobody COMMAND...: runs as an unprivileged user (root reads and writes anything).
can_drop_root() { [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null; }
as_nobody() { setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"; }

case $group in
inputs)
  # An -o or --deps that names a file the run reads is refused before anything is written, whatever the
  # name it is reached by; the message names both roles.
  mkdir data
  printf '[h data="H"]' >h.txt
  printf '<[h]>[p datafile="\\prices.txt"][p]' >m.txt
  printf '[q datafile="\\data\\q.txt"][q]' >q.tmpl
  printf '42' >prices.txt
  printf 'Q' >data/q.txt
  ln -s prices.txt link.txt
  ln prices.txt hard.txt
  while IFS='|' read -r output input args; do
    snapshot >before
    # shellcheck disable=SC2086
    run $args; expect_rc 64 "$args"; expect_out '' "$args prints nothing"
    expect_err_line "morvane-cli: $output is the same file as $input, which the run reads: nothing written" "$args"
    snapshot >after
    cmp -s before after || fail "$args: a file changed or appeared"
  done <<'TABLE'
-o h.txt|HEADER h.txt|-o h.txt h.txt m.txt
-o ./m.txt|MAIN m.txt|-o ./m.txt h.txt m.txt
-o prices.txt|datafile ./prices.txt|-o prices.txt h.txt m.txt
--deps prices.txt|datafile ./prices.txt|--deps prices.txt -o report.txt h.txt m.txt
-o link.txt|datafile ./prices.txt|-o link.txt h.txt m.txt
-o hard.txt|datafile ./prices.txt|-o hard.txt h.txt m.txt
-o data/../prices.txt|datafile ./prices.txt|-o data/../prices.txt h.txt m.txt
--deps data/q.txt|datafile ./data/q.txt|--deps data/q.txt -o out.txt '' q.tmpl
--deps data/q.txt|datafile ./data/q.txt|--deps data/q.txt --deps-target all '' q.tmpl
TABLE
  # Standard input redirected from a file is that file.
  "$cli" -o h.txt - m.txt <h.txt >out 2>err; rc=$?
  expect_rc 64 "-o names the file standard input reads"
  expect_err_line "morvane-cli: -o h.txt is the same file as HEADER -, which the run reads: nothing written" "-o and -"
  [ "$(cat h.txt)" = '[h data="H"]' ] || fail "-o and -: the header was replaced"
  # Other files, and the same names with nothing read from them, are fine.
  run -o report.txt h.txt m.txt; expect_rc 0 "-o a new file"; [ "$(cat report.txt)" = '<H>42' ] || fail "-o a new file"
  run -o report.txt h.txt m.txt; expect_rc 0 "-o the file of the last run"
  run -o prices.txt h.txt q.tmpl; expect_rc 0 "-o a file this run does not read"
  ;;
devices)
  # Devices and FIFOs are no inputs: they take the result as a stream.
  printf 'to a device' >m.txt
  run -o /dev/null '' m.txt; expect_rc 0 "-o /dev/null"; expect_err '' "-o /dev/null"
  "$cli" -o /dev/stdout '' m.txt 2>err | cat >out; rc=${PIPESTATUS[0]}
  expect_rc 0 "-o /dev/stdout on a pipe"; expect_out 'to a device' "-o /dev/stdout on a pipe"
  run -o /dev/stdout '' m.txt; expect_rc 0 "-o /dev/stdout on a file"; expect_out 'to a device' "-o /dev/stdout on a file"
  mkfifo fifo
  timeout 10 cat fifo >from-fifo &
  reader=$!
  run -o fifo '' m.txt; expect_rc 0 "-o FIFO"
  # A program that refused the FIFO leaves the reader waiting: open it once, so that it ends.
  [ "$rc" -eq 0 ] || : >fifo
  wait "$reader"
  [ "$(cat from-fifo)" = 'to a device' ] || fail "-o FIFO: the reader got '$(cat from-fifo)'"
  [ -p fifo ] || fail "-o FIFO replaced the FIFO"
  run --deps /dev/null -o /dev/null '' m.txt; expect_rc 0 "--deps /dev/null"
  # What cannot take a result says what it is.
  python3 -c 'import socket, sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])' sock
  ln -s loop-b loop-a && ln -s loop-a loop-b
  while IFS='|' read -r path cause; do
    run -o "$path" '' m.txt; expect_rc 74 "-o $path"
    expect_err_line "morvane-cli: $path: cannot write: $cause" "-o $path"
  done <<'TABLE'
sock|a socket, not a regular file
loop-a|too many levels of symbolic links (a loop?)
TABLE
  ;;
owners)
  # A replaced file keeps its owner and group, and with them its set-ID bits; where they cannot be kept
  # (an unprivileged user replacing another's file), the set-ID bits go.
  if ! can_drop_root; then
    echo "group owners: needs root and setpriv; skipped"
    exit 0
  fi
  printf 'new' >m.txt
  chmod 644 m.txt
  printf 'old' >setuid.txt && chown nobody:nogroup setuid.txt && chmod 4755 setuid.txt
  printf 'old' >private.txt && chown nobody:nogroup private.txt && chmod 600 private.txt
  run -o setuid.txt '' m.txt; expect_rc 0 "root replaces nobody's 4755 file"
  [ "$(stat -c '%a %U:%G' setuid.txt)" = '4755 nobody:nogroup' ] || fail "4755 nobody:nogroup became $(stat -c '%a %U:%G' setuid.txt)"
  run -o private.txt '' m.txt; expect_rc 0 "root replaces nobody's 600 file"
  [ "$(stat -c '%a %U:%G' private.txt)" = '600 nobody:nogroup' ] || fail "600 nobody:nogroup became $(stat -c '%a %U:%G' private.txt)"
  [ "$(as_nobody cat private.txt)" = new ] || fail "nobody cannot read its own file after root replaced it"
  # nobody replacing its own set-group-ID file keeps the bit (the write comes before the mode).
  mkdir -m 777 shared
  printf 'old' >shared/own.txt && chown nobody:nogroup shared/own.txt && chmod 2775 shared/own.txt
  as_nobody "$cli" -o shared/own.txt '' m.txt >out 2>err; rc=$?
  expect_rc 0 "nobody replaces its own 2775 file"
  [ "$(stat -c '%a %U:%G' shared/own.txt)" = '2775 nobody:nogroup' ] || fail "nobody's 2775 file became $(stat -c '%a %U:%G' shared/own.txt)"
  # nobody replacing root's world-writable 6777 file: the owner cannot be kept, so neither are the bits.
  printf 'old' >shared/roots.txt && chmod 6777 shared/roots.txt
  as_nobody "$cli" -o shared/roots.txt '' m.txt >out 2>err; rc=$?
  expect_rc 0 "nobody replaces root's 6777 file"
  [ "$(stat -c '%a' shared/roots.txt)" = 777 ] || fail "root's 6777 file replaced by nobody became $(stat -c '%a %U:%G' shared/roots.txt)"
  [ "$(cat shared/roots.txt)" = new ] || fail "root's 6777 file was not replaced"
  ;;
datafiles)
  # A datafile that exists but cannot be read fails the run (status 1): the message names the file and
  # why, the result (without the file) goes to standard output, and -o writes nothing. A missing one stays
  # the language's empty value.
  mkdir folder
  mkfifo fifo
  head -c 1048576 /dev/zero | tr '\0' 'a' >big.txt
  ln -s loop-b loop-a && ln -s loop-a loop-b
  python3 -c 'import socket, sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])' sock
  printf 'old' >out.txt
  while IFS='|' read -r path cause; do
    printf '<[d datafile="%s"][d]>' "$path" >m.txt
    run -o out.txt --deps out.d '' m.txt; expect_rc 1 "datafile $path"
    expect_err_line "morvane-cli: m.txt: datafile $path: cannot read: $cause" "datafile $path"
    [ "$(cat out.txt)" = old ] || fail "datafile $path: -o replaced the result"
    [ ! -e out.d ] || fail "datafile $path: --deps wrote its file"
    run '' m.txt; expect_rc 1 "datafile $path to standard output"; expect_out '<>' "datafile $path: the result without it"
  done <<'TABLE'
folder|is a folder
fifo|not a regular file (a device or a pipe)
/dev/null|a device, not a regular file
big.txt|larger than 1,048,575 bytes
loop-a|too many levels of symbolic links (a loop?)
sock|a socket, not a regular file
TABLE
  printf '<[d datafile="missing.txt"][d]>' >m.txt
  run -o out.txt '' m.txt; expect_rc 0 "a missing datafile"; [ "$(cat out.txt)" = '<>' ] || fail "a missing datafile"
  # Read in every pass, told once; in the header too, named by the header.
  printf '[d data="[e datafile=\\"folder\\"]"][d][d][d]' >h.txt
  run h.txt ''; expect_rc 1 "datafile in the header"
  [ "$(grep -c 'datafile folder' err)" -eq 1 ] || fail "a datafile read in every pass is told once: $(cat err)"
  expect_err_line "morvane-cli: h.txt: datafile folder: cannot read: is a folder" "datafile in the header"
  LC_ALL=ja_JP.UTF-8 "$cli" h.txt '' >out 2>err
  expect_err_line "morvane-cli: h.txt: datafile folder を読み込めません: フォルダーです" "datafile in Japanese"
  if can_drop_root; then
    printf 'secret' >secret.txt && chmod 600 secret.txt && chmod 777 .
    printf '<[d datafile="secret.txt"][d]>' >m.txt && chmod 644 m.txt
    as_nobody "$cli" '' m.txt >out 2>err; rc=$?
    expect_rc 1 "datafile without permission"
    expect_err_line "morvane-cli: m.txt: datafile secret.txt: cannot read: permission denied" "datafile without permission"
  fi
  ;;
descriptors)
  # A standard stream the program was started without: standard input is a failed read, standard output a
  # failed write, and no file the program opens takes their numbers.
  printf '[h data="H"]' >h.txt
  printf '<[h]>' >m.txt
  "$cli" h.txt - <&- >out 2>err; rc=$?
  expect_rc 1 "- with standard input closed"; expect_out '' "- with standard input closed"
  expect_err_line "morvane-cli: -: cannot read: standard input is closed" "- with standard input closed"
  "$cli" - m.txt <&- >out 2>err; rc=$?
  expect_rc 1 "HEADER - with standard input closed"; expect_out '<>' "HEADER - with standard input closed"
  # Standard input redirected from a file is read from where it stands to its end.
  printf 'skipped<[h]>' >late.txt
  { dd bs=1 count=7 of=/dev/null 2>/dev/null; "$cli" h.txt - >out 2>err; } <late.txt; rc=$?
  expect_rc 0 "- from the middle of a file"; expect_out '<H>' "- from the middle of a file"
  "$cli" h.txt m.txt <&- >out 2>err; rc=$?
  expect_rc 0 "standard input closed but not read"; expect_out '<H>' "standard input closed but not read"
  "$cli" h.txt m.txt >&- 2>err; rc=$?
  expect_rc 74 "standard output closed"
  grep -qx 'morvane-cli: cannot write standard output' err || fail "standard output closed: $(cat err)"
  "$cli" --version >&- 2>err; rc=$?
  expect_rc 74 "--version with standard output closed"
  # With standard error closed, a warning goes nowhere, not into the result.
  printf '<[h]>[missing]' >w.txt
  "$cli" --warn -o res.txt h.txt w.txt 2>&- >out; rc=$?
  expect_rc 0 "standard error closed"; [ "$(cat res.txt)" = '<H>' ] || fail "standard error closed: result '$(cat res.txt)'"
  "$cli" --warn -o res.txt h.txt w.txt <&- >&- 2>&-; rc=$?
  expect_rc 0 "all three closed, -o"; [ "$(cat res.txt)" = '<H>' ] || fail "all three closed: result '$(cat res.txt)'"
  ;;
makenames)
  # Every name --deps writes reads back through GNU make as the same file: make sees each prerequisite
  # change (and no file a wildcard would match instead), a deleted one does not stop it, and a target is
  # its own name, not a pattern. Names make cannot read are refused before anything is written.
  mkdir names
  accepted=('a b' 'a#b' 'a$b' 'a(b)c' 'a:b' 'a|b' 'a%b' 'a*b' 'a?b' 'a[b]' "a'b" 'a"b' 'a!b' 'a&b'
    'a(b' 'a)b' 'a{b}' 'a,b' 'a@b' 'a^b' 'a`b' 'a<b>' 'a+b' 'a~b' '#lead' ' lead' '%lead' ':lead' '|lead' '日本'
    $'a\rb' $'a\vb' $'a\fb' $'\xff' '.hidden' '.txt' '-dash' '*' '?' '[' ']' '%' '$' '#' ':' '|' 'x.c')
  template=""
  declare -A decoys=()
  for i in "${!accepted[@]}"; do
    name=${accepted[$i]}
    printf 'x' >"names/$name"
    # In a quoted value '\"' stands for '"'; '\' separates folders, so no datafile name holds one.
    template+="[v$i datafile=\"\\names\\${name//\"/\\\"}\"]"
    case $name in *'*'* | *'?'* | *'['*) decoys[$i]=names/$(printf '%s' "$name" | tr '*?[' 'XYZ') ;; esac
  done
  for decoy in "${decoys[@]}"; do printf 'decoy' >"$decoy"; done
  printf '%s' "$template" >page.tmpl
  cat >Makefile <<MAKE
page.txt: page.tmpl
	"$cli" --deps page.d -o page.txt '' page.tmpl
-include page.d
MAKE
  make -s >make.log 2>&1 || fail "make: $(cat make.log)"
  [ -f page.d ] || fail "no dependency file"
  find names page.tmpl -exec touch -h -d '2000-01-01' {} +
  touch -d '2010-01-01' page.txt page.d
  make -q page.txt 2>make.log || fail "make -q right after the build: $(cat make.log)"
  for i in "${!accepted[@]}"; do
    file=names/${accepted[$i]}
    touch -d '2020-01-01' "$file"
    make -q page.txt 2>/dev/null && fail "make does not see '$file' change: $(grep -F -- "${accepted[$i]}" page.d | head -2)"
    touch -d '2000-01-01' "$file"
    if [ -n "${decoys[$i]:-}" ]; then
      touch -d '2020-01-01' "${decoys[$i]}"
      make -q page.txt 2>/dev/null || fail "make reads '$file' as a wildcard: ${decoys[$i]} counts"
      touch -d '2000-01-01' "${decoys[$i]}"
    fi
  done
  rm -rf names
  make -n page.txt >make.log 2>&1 || fail "a deleted datafile stops make: $(cat make.log)"
  # Targets: the name make is asked for is out of date when its prerequisite changes (a target read as a
  # pattern would not be), up to date otherwise.
  printf 'dep' >dep.txt
  printf '[d datafile="dep.txt"]' >dep.tmpl
  for target in 'out%x' 'out x' 'out#x' 'out$x' 'out:x' 'out|x' 'out*x' 'out[x]' 'a\b' '%'; do
    run --deps t.d --deps-target "$target" '' dep.tmpl; expect_rc 0 "--deps-target '$target'"
    # A target without a recipe takes one from an implicit rule: this one gives every target one.
    printf -- '-include t.d\n%%:: ; @:\n' >Target.mk
    touch -d '2000-01-01' dep.tmpl dep.txt
    touch -d '2010-01-01' -- "$target"
    make -q -f Target.mk -- "$target" 2>make.log || fail "target '$target' is not up to date: $(cat make.log; cat t.d)"
    touch -d '2020-01-01' dep.txt
    make -q -f Target.mk -- "$target" 2>/dev/null && fail "target '$target' does not see its prerequisite change"
    rm -f -- "$target" t.d
  done
  # Refused: status 64, the message names the file and why, nothing written or printed.
  mkdir -p refused
  while IFS='|' read -r kind name reason; do
    name=$(printf '%b' "$name")
    rm -rf refused && mkdir refused && cd refused
    if [ "$kind" = main ]; then
      printf 'm' >"$name"
      args=(--deps d.d -o r.txt '' "$name")
      shown=$name
    else
      mkdir -p sub && printf 'x' >"sub/$name"
      printf '[d datafile="\\sub\\%s"]' "$name" >m.tmpl
      args=(--deps d.d -o r.txt '' m.tmpl)
      shown=./sub/$name
    fi
    run "${args[@]}"; expect_rc 64 "--deps with '$name'"; expect_out '' "--deps with '$name'"
    shown=${shown//$'\n'/\\n}; shown=${shown//$'\t'/\\t}; shown=${shown//$'\r'/\\r}
    expect_err_line "morvane-cli: --deps: make cannot read the name '$shown' ($reason): nothing written" "--deps with '$name'"
    [ ! -e r.txt ] && [ ! -e d.d ] || fail "--deps with '$name' wrote a file"
    cd ..
  done <<'TABLE'
datafile|a;b|';' begins a recipe
datafile|a=b|'=' makes the line a variable assignment
datafile|a\tb|it holds a tab
datafile|a\nb|it holds a line break
datafile|trail |make drops the white space at its end
datafile|trail\r|make drops the white space at its end
datafile|lib(member)|NAME(MEMBER) names a member of an archive
datafile|$(x)|NAME(MEMBER) names a member of an archive
main|.c|an empty rule for it is a suffix rule
main|~root|a '~' at its start names a home folder
main|.PHONY|it is the name of one of make's special targets
TABLE
  run --deps d.d --deps-target 'a=b' '' page.tmpl; expect_rc 64 "--deps-target with '='"
  ;;
*) unknown_group ;;
esac
finish_group
