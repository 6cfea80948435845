# Shared by the shell tests of morvane-cli: source it after setting `group` and `failures`.

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
