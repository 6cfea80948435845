#!/usr/bin/env bash
# Memcheck of morvane-cli (default preset) over the examples and hostile inputs: no memory error and no
# definite or indirect leak in any run, and every run ends in one of the tool's own exit statuses.
set -euo pipefail
root=$(pwd)
cli=$root/build/default/tool/cli/morvane-cli
[ -x "$cli" ] || { cmake --preset default >/dev/null && cmake --build --preset default --target morvane-cli; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export LC_ALL=C.UTF-8 TZ=UTC SOURCE_DATE_EPOCH=951827696
unset MORVANE_CODEPAGE
memcheck_status=99
failures=0
runs=0

# check LABEL ARGS...: runs the tool under memcheck; a memcheck error, a status the tool never gives or a run
# that does not end within its time fails.
check() {
  local label=$1
  shift
  runs=$((runs + 1))
  local rc=0
  timeout 300 valgrind -q --error-exitcode=$memcheck_status --leak-check=full --errors-for-leak-kinds=definite,indirect \
    --log-file=valgrind.log "$cli" "$@" >out 2>err </dev/null || rc=$?
  case $rc in
    0 | 1 | 2 | 3 | 74) ;;
    124)
      echo "FAIL $label: still running after 300 s"
      failures=$((failures + 1))
      ;;
    *)
      echo "FAIL $label: status $rc"
      cat valgrind.log err | head -n 60
      failures=$((failures + 1))
      ;;
  esac
}

for set in utf-8 cp932; do
  codepage=$set
  [ "$set" = cp932 ] && codepage=932
  ex=$root/examples/$set
  check "example $set" --codepage "$codepage" "$ex/header.txt" "$ex/main.txt"
  check "example $set tags" --codepage "$codepage" --tags "$ex/header.txt" "$ex/main.txt"
  check "example $set value" --codepage "$codepage" --value _eof "$ex/header.txt" "$ex/main.txt"
  check "example $set output" --codepage "$codepage" -o "$work/result.txt" "$ex/header.txt" "$ex/main.txt"
done

mkfifo fifo
mkdir folder
ln -s loop-b loop-a
ln -s loop-a loop-b
ln -s missing-target dangling
printf '[b data="before"][b]\0[c data="after"]\001\002\377' >binary.bin
printf 'main [h]' >main.txt
printf '[h data="defined"]' >header.txt
# A header or main FIFO is read as cat reads one, so it gets a writer; a datafile FIFO is refused unopened.
fifo_writer() {
  if [ "$1" = fifo ]; then (printf '%s' "$2" >fifo) & fi
}
for path in fifo folder /dev/null /dev/zero loop-a dangling missing binary.bin; do
  fifo_writer "$path" '[h data="from a fifo"]'
  check "header $path" --codepage 932 "$path" main.txt
  fifo_writer "$path" 'main [h]'
  check "main $path" --codepage 932 header.txt "$path"
  printf '[v data="old"][v datafile="%s"][n datafile="%s"]<[v]>' "$path" "$path" >datafile.txt
  check "datafile $path" --codepage 932 '' datafile.txt
done

head -c 8192 /dev/zero | tr '\0' '[' >brackets.txt
head -c 1048575 /dev/zero | tr '\0' '\\' >backslashes.txt
printf '[self data="[self]"]x[self]' >self.txt
printf '[a data="[b]"][b data="[a]"][a]' >mutual.txt
printf '[d data="[d][d]"][d]' >doubling.txt
printf 'x\201[\201y \201data="\201"]\201' >lead.txt
for name in brackets backslashes self mutual doubling lead; do
  check "$name" --codepage 932 '' "$name.txt"
  check "$name as header" --codepage 932 "$name.txt" main.txt
done
check "unwritable output" --codepage 932 '' main.txt -o folder

echo "memcheck: $runs runs, $failures failed"
[ "$failures" -eq 0 ]
