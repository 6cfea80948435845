#!/usr/bin/env bash
# Installs and packages, through the real tools: cmake --install of the default build (into a staging tree and
# under another prefix), the manual pages under man with warnings on; the .deb that CPack builds, checked by
# lintian, unpacked with dpkg-deb into a scratch root whose morvane-cli, manual pages, completion and window
# are run; the Windows zip that CPack builds from the windows preset, unpacked, and its morvane-cli.exe run
# under Wine in code page 932 on the example.
set -euo pipefail
root=$(pwd)
native=$root/build/default
windows=$root/build/windows
work=$(mktemp -d)
cleanup() {
  [ -z "${WINEPREFIX:-}" ] || timeout 30 wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
die() {
  echo "55-packages: $*" >&2
  exit 1
}
# no_output FILE WHAT: FILE must be empty (a tool's warnings).
no_output() { [ ! -s "$1" ] || die "$2: $(head -5 "$1")"; }

# Both builds are there after stages 10 and 45; run alone, the stage builds them.
cmake --preset default >/dev/null
cmake --build --preset default >/dev/null
cmake --preset windows >/dev/null
cmake --build --preset windows >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$native/CMakeCache.txt")
[ -n "$version" ] || die "no project version in $native/CMakeCache.txt"
export LC_ALL=C.UTF-8 TZ=UTC SOURCE_DATE_EPOCH=951827696
unset MORVANE_CODEPAGE

# check_version PROGRAM NAME: the first line of --version names the program and the project's version
# ("NAME VERSION" or the GNU form "NAME (Morvane) VERSION").
check_version() {
  local first
  first=$("$1" --version | head -n1)
  [ "${first%% *}" = "$2" ] && [ "${first##* }" = "$version" ] || die "$1 --version says '$first'"
}
# check_pages MAN_ROOT: each installed page is found by man, formatted without a warning, and titled.
check_pages() {
  local man_root=$1 page
  for page in "1 morvane-cli" "1 morvane" "5 morvane"; do
    set -- $page
    MANPATH=$man_root man --warnings -P cat "$1" "$2" >"$work/page" 2>"$work/warnings" ||
      die "man $1 $2 under $man_root failed: $(cat "$work/warnings")"
    no_output "$work/warnings" "man $1 $2 warns"
    grep -q "^NAME" "$work/page" || die "man $1 $2 shows no NAME section"
    case $(MANPATH=$man_root man -w "$1" "$2") in
    "$man_root"/*) ;;
    *) die "man $1 $2 found a page outside $man_root" ;;
    esac
  done
}

# ---- cmake --install
stage=$work/stage
DESTDIR=$stage cmake --install "$native" --prefix /usr >/dev/null
(cd "$stage" && find . -type f -printf '%P\n' | sort) >"$work/installed"
for file in usr/bin/morvane usr/bin/morvane-cli usr/share/man/man1/morvane-cli.1.gz usr/share/man/man1/morvane.1.gz \
    usr/share/man/man5/morvane.5.gz usr/share/bash-completion/completions/morvane-cli \
    usr/share/applications/morvane.desktop usr/share/icons/hicolor/48x48/apps/morvane.png \
    usr/share/doc/morvane/language.md usr/share/doc/morvane/recipes.md usr/share/doc/morvane/README.md \
    usr/share/doc/morvane/copyright usr/share/doc/morvane/changelog.gz; do
  grep -qx "$file" "$work/installed" || die "cmake --install did not install /$file"
done
check_version "$stage/usr/bin/morvane-cli" morvane-cli
check_version "$stage/usr/bin/morvane" morvane
check_pages "$stage/usr/share/man"

# A user's install under ~/.local: man finds its pages through PATH, bash-completion its completion through
# HOME, with nothing else set.
home=$work/home
cmake --install "$native" --prefix "$home/.local" >/dev/null
PATH=$home/.local/bin:$PATH check_version morvane-cli morvane-cli
check_pages "$home/.local/share/man"
found=$(env -u MANPATH PATH="$home/.local/bin:$PATH" man -w morvane-cli)
[ "$found" = "$home/.local/share/man/man1/morvane-cli.1.gz" ] || die "man through PATH finds '$found'"
env -u XDG_DATA_HOME -u BASH_COMPLETION_USER_DIR HOME="$home" bash -c \
  'source /usr/share/bash-completion/bash_completion && __load_completion morvane-cli && complete -p morvane-cli' \
  >"$work/complete" 2>&1 || die "bash-completion does not load the completion from ~/.local: $(cat "$work/complete")"

# ---- the .deb
(cd "$native" && cpack -G DEB >/dev/null)
deb=$native/packages/morvane_${version}_amd64.deb
[ -f "$deb" ] || die "CPack built no $deb"
[ "$(dpkg-deb -f "$deb" Package)" = morvane ] || die "the package is not named morvane"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || die "the package's version is not $version"
depends=$(dpkg-deb -f "$deb" Depends)
for dependency in libc6 libstdc++6 libqt6core6 libqt6widgets6; do
  [[ ", $depends" == *", $dependency "* ]] || die "Depends lacks $dependency (dpkg-shlibdeps): $depends"
done
[[ $(dpkg-deb -f "$deb" Recommends) == *qt6-translations-l10n* ]] || die "Recommends lacks qt6-translations-l10n"
# The package holds what cmake --install installs, nothing more or less.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print $6 }' | sort >"$work/packaged"
diff "$work/installed" "$work/packaged" >"$work/diff" || die "the .deb differs from cmake --install: $(cat "$work/diff")"

# lintian: no error; each warning that remains is explained in the README.
lintian --tag-display-limit 0 "$deb" >"$work/lintian" 2>&1 || true
grep -v 'running with root privileges' "$work/lintian" || true
if grep -q '^E: ' "$work/lintian"; then die "lintian reports errors"; fi
for tag in $(sed -n 's/^W: [^:]*: \([a-z0-9-]*\).*/\1/p' "$work/lintian" | sort -u); do
  grep -qF "\`$tag\`" "$root/README.md" || die "lintian warns $tag, which the README does not explain"
done

# Unpacked into a scratch root: the programs, pages and completion as the package installs them.
deb_root=$work/root
dpkg-deb -x "$deb" "$deb_root"
cli=$deb_root/usr/bin/morvane-cli
check_version "$cli" morvane-cli
file "$cli" "$deb_root/usr/bin/morvane" | grep -v ', stripped' && die "the packaged programs are not stripped"
"$cli" --codepage utf-8 examples/utf-8/header.txt examples/utf-8/main.txt >"$work/deb.out" ||
  die "the packaged morvane-cli failed on the example"
"$native/tool/cli/morvane-cli" --codepage utf-8 examples/utf-8/header.txt examples/utf-8/main.txt >"$work/build.out"
cmp -s "$work/deb.out" "$work/build.out" || die "the packaged morvane-cli gives another result than the build's"
check_pages "$deb_root/usr/share/man"
status=0
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$deb_root/usr/bin/morvane" 2>"$work/window" || status=$?
[ "$status" -eq 1 ] && [ "$(cat "$work/window")" = "morvane: cannot open a window: no display" ] ||
  die "the packaged morvane without a display: status $status, '$(cat "$work/window")'"
offered=$(bash -c 'source /usr/share/bash-completion/bash_completion
  source "$1"
  COMP_WORDS=(morvane-cli --codepage sj) COMP_CWORD=2 COMP_LINE="morvane-cli --codepage sj" COMP_POINT=25
  _morvane_cli morvane-cli sj --codepage
  echo "${COMPREPLY[*]}"' _ "$deb_root/usr/share/bash-completion/completions/morvane-cli")
[ "$offered" = sjis ] || die "the packaged completion offers '$offered' for --codepage sj"

# ---- the Windows zip
(cd "$windows" && cpack -G ZIP >/dev/null)
zip=$windows/packages/Morvane-${version}-win64.zip
[ -f "$zip" ] || die "CPack built no $zip"
top=Morvane-${version}-win64
unzip -Z1 "$zip" | grep -v '/$' | sort >"$work/zipped"
printf '%s\n' "$top/LICENSE" "$top/Morvane.exe" "$top/README.md" "$top/docs/language.md" "$top/docs/recipes.md" \
  "$top/morvane-cli.exe" | sort >"$work/zip.expected"
diff "$work/zip.expected" "$work/zipped" >"$work/diff" || die "the zip holds other files: $(cat "$work/diff")"
unzip -q "$zip" -d "$work/zip"
file "$work/zip/$top/Morvane.exe" | grep -q 'PE32+ executable (GUI) x86-64' || die "Morvane.exe is no 64-bit GUI program"
cmp -s "$work/zip/$top/LICENSE" LICENSE || die "the zip's LICENSE differs"

export WINEPREFIX=$windows/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=ja_JP.UTF-8
unset WINELOADERNOEXEC DISPLAY WAYLAND_DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  timeout 180 wineboot -i >/dev/null 2>&1
fi
winpath() { echo "Z:${1//\//\\}"; }
exe=$work/zip/$top/morvane-cli.exe
timeout 120 wine "$exe" --version | tr -d '\r' >"$work/exe.version"
first=$(head -n1 "$work/exe.version")
[ "${first%% *}" = morvane-cli ] && [ "${first##* }" = "$version" ] || die "morvane-cli.exe --version says '$first'"
# Code page 932 from the locale (no --codepage): the result equals the native program's in 932.
timeout 120 wine "$exe" "$(winpath "$root/examples/cp932/header.txt")" "$(winpath "$root/examples/cp932/main.txt")" \
  >"$work/exe.out" || die "morvane-cli.exe failed on the example"
LC_ALL=C.UTF-8 "$native/tool/cli/morvane-cli" --codepage 932 examples/cp932/header.txt examples/cp932/main.txt \
  >"$work/native932.out"
cmp -s "$work/exe.out" "$work/native932.out" || die "morvane-cli.exe from the zip gives another result than morvane-cli"
# The second byte of 表 is a backslash only outside code page 932, where it would escape the bracket.
{ printf '[x data="A"]'; printf '表[x]|' | iconv -f UTF-8 -t CP932; } >"$work/probe.txt"
timeout 120 wine "$exe" "" "$(winpath "$work/probe.txt")" >"$work/probe.out"
printf '\x95\x5cA|' >"$work/probe.expected"
cmp -s "$work/probe.out" "$work/probe.expected" || die "morvane-cli.exe under LC_ALL=$LC_ALL did not use code page 932"
echo "installed, packaged ($(basename "$deb"), $(basename "$zip")) and run from both"
