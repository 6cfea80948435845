#!/usr/bin/env bash
# An install names the documents where it puts them: the README's links and its copy of --help, the manual
# pages and --help of the installed program say PREFIX/share/doc/morvane, for the prefix of the install (as
# CPack's /usr), never docs/ of the source tree. documents_test.sh BUILD_DIR
set -uo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LC_ALL=C.UTF-8
failures=0
fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}

# check ROOT PREFIX: an install staged under ROOT (the DESTDIR, or nothing) for PREFIX.
check() {
  local root=$1 prefix=$2 documents=$2/share/doc/morvane
  local installed=$root$prefix
  for file in README.md language.md recipes.md; do
    [ -s "$installed/share/doc/morvane/$file" ] || fail "$prefix: $file is not installed"
  done
  local readme=$installed/share/doc/morvane/README.md
  grep -qF "[$documents/language.md]($documents/language.md)" "$readme" || fail "$prefix: the README's link"
  grep -qxF "The template language, every rule with an example: $documents/language.md" "$readme" ||
    fail "$prefix: the README's copy of --help"
  grep -qE '(^|[^/a-z])docs/(language|recipes)\.md' "$readme" && fail "$prefix: the README names docs/"
  local page
  for page in man1/morvane-cli.1 man1/morvane.1 man5/morvane.5; do
    gzip -dc "$installed/share/man/$page.gz" | grep -qF "$documents/language.md" ||
      fail "$prefix: $page does not name $documents/language.md"
  done
  "$installed/bin/morvane-cli" --help >"$work/help"
  grep -qxF "The template language, every rule with an example: $installed/share/doc/morvane/language.md" \
    "$work/help" || fail "$prefix: --help of the installed program: $(grep 'template language' "$work/help")"
}

DESTDIR=$work/stage cmake --install "$build" --prefix /usr >/dev/null || fail "cmake --install --prefix /usr"
check "$work/stage" /usr
cmake --install "$build" --prefix "$work/local" >/dev/null || fail "cmake --install --prefix $work/local"
check "" "$work/local"

[ "$failures" -eq 0 ] && echo "the installs under /usr and $work/local name their documents"
[ "$failures" -eq 0 ]
