# Shared by the shell tests of morvane-cli: source it after setting `group` and `failures`.

# run ARGS...: runs the tool ($cli), leaving its standard output in out, standard error in err and the
# status in rc.
run() {
  "$cli" "$@" >out 2>err
  rc=$?
}
# run_in LOCALE ARGS...: the same under another locale, which the shell itself need not know.
run_in() {
  local locale=$1
  shift
  LC_ALL=$locale "$cli" "$@" >out 2>err
  rc=$?
}
fail() {
  echo "FAIL [$group] $*"
  echo "  status: ${rc:-}"
  echo "  stdout: $(head -c 300 out 2>/dev/null | od -c | head -5)"
  echo "  stderr: $(head -c 600 err 2>/dev/null)"
  failures=$((failures + 1))
}
expect_rc() { [ "$rc" -eq "$1" ] || fail "$2: expected status $1"; }
# expect_out BYTES LABEL: standard output is exactly BYTES (printf format).
expect_out() {
  printf "$1" >expected
  cmp -s out expected || fail "$2: standard output differs from '$1'"
}
expect_err() {
  printf "$1" >expected
  cmp -s err expected || fail "$2: standard error differs from '$1'"
}
# expect_out_line LINE LABEL: standard output holds exactly this line.
expect_out_line() { grep -qxF -- "$1" out || fail "$2: no line '$1' on standard output"; }
# expect_err_line LINE LABEL: standard error holds exactly this line.
expect_err_line() { grep -qxF -- "$1" err || fail "$2: no line '$1' on standard error"; }

# The UTF-8 text $1 in code page 932.
cp932() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }

# Ends the script: an unknown group is an error of the test itself; failed checks fail the group.
unknown_group() {
  echo "unknown group $group"
  exit 2
}
finish_group() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed in group $group"
    exit 1
  fi
  echo "group $group: all checks passed"
}
