#!/usr/bin/env bash
# Windows: cross-build Morvane.exe, morvane-cli.exe and the whole suite with mingw-w64, run the suite and the
# dialog tests under Wine in code page 932 on a private virtual X server, then drive the real Morvane.exe
# through an Update and photograph it (build/windows/morvane-windows.png).
set -euo pipefail
root=$(pwd)
build=$root/build/windows

# The committed icon is the generator's output.
mkdir -p "$build"
python3 tool/resources/make_icon.py "$build/icon-check.ico"
cmp tool/resources/morvane.ico "$build/icon-check.ico"

cmake --preset windows >/dev/null
cmake --build --preset windows

export WINEPREFIX=$build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=ja_JP.UTF-8
unset WINELOADERNOEXEC

# A private X display, whatever DISPLAY says: the stage never waits on a real screen.
source scripts/lib/xvfb.sh
start_xvfb "$build"

cleanup() {
  timeout 30 wineserver -k >/dev/null 2>&1 || true
  stop_xvfb
}
trap cleanup EXIT

# A fresh prefix the first time; Wine draws the window frame itself (no window manager on Xvfb).
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  timeout 180 wineboot -i >/dev/null 2>&1
fi
timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

timeout 900 ctest --preset windows

# The real program, driven from outside: Japanese files, Update, the result row marked.
shot=$build/screenshot
rm -rf "$shot"
mkdir -p "$shot"
printf '%s\r\n' '[作者 data="山田太郎"][部署 data="開発部"]ヘッダーの本文は結果に残りません。' |
  iconv -f UTF-8 -t CP932 >"$shot/header.txt"
printf '%s\r\n' 'こんにちは、[作者]さん（[部署]）。' '今日は[_year]年[_month]月[_day]日です。' \
  '[見出し data="表示テスト"][見出し min="16" padding="*" align="center"]' |
  iconv -f UTF-8 -t CP932 >"$shot/main.txt"
winpath() { echo "Z:${1//\//\\}"; }

timeout 120 wine "$build/tool/win32/Morvane.exe" &
app=$!
timeout 120 wine "$build/tests/tool/win32/morvane_screenshot_driver.exe" "$(winpath "$shot/header.txt")" \
  "$(winpath "$shot/main.txt")" "$(winpath "$shot/ready")" "$(winpath "$shot/done")" &
driver=$!
for _ in $(seq 1 900); do
  [ -e "$shot/ready" ] && break
  kill -0 "$driver" 2>/dev/null || break
  sleep 0.1
done
if [ -e "$shot/ready" ]; then
  sleep 1
  import -display "$DISPLAY" -window root "$build/morvane-windows.png"
fi
touch "$shot/done"
driver_status=0
wait "$driver" || driver_status=$?
app_status=0
wait "$app" || app_status=$?
if [ "$driver_status" -ne 0 ] || [ "$app_status" -ne 0 ] || [ ! -s "$build/morvane-windows.png" ]; then
  echo "Morvane.exe under Wine: driver $driver_status, program $app_status"
  exit 1
fi
echo "Screenshot: $build/morvane-windows.png"
