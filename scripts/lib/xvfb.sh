# A private virtual X server for the window stages. Source it, then:
#   start_xvfb DIR   starts Xvfb on a display it picks itself (-displayfd), exports DISPLAY, sets XVFB_PID;
#                    its log is DIR/xvfb.log
#   stop_xvfb        ends it
start_xvfb() {
  local dir=$1
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dir/display" 2>"$dir/xvfb.log" &
  XVFB_PID=$!
  for _ in $(seq 100); do
    [ -s "$dir/display" ] && break
    kill -0 "$XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  if [ ! -s "$dir/display" ]; then
    echo "Xvfb did not start" >&2
    cat "$dir/xvfb.log" >&2
    return 1
  fi
  DISPLAY=":$(head -n1 "$dir/display")"
  export DISPLAY
}

stop_xvfb() {
  if [ -n "${XVFB_PID:-}" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
  fi
  XVFB_PID=""
}
