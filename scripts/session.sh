# Sourced by ./test and scripts/stress-desktop.sh: folders of their own for
# the tests, and a virtual X display with the jwm window manager for the
# desktop tests.
#   test_homes <folder>     exports QUILLBOX_HOME, XDG_CONFIG_HOME and
#                           XDG_RUNTIME_DIR under <folder>: the tests never
#                           touch the user's own files
#   start_desktop <folder>  starts Xvfb and jwm (their logs in <folder>) and
#                           exports DISPLAY once the window manager runs;
#                           QUILL_DISPLAY (":N") names the display, else
#                           Xvfb takes a free one
#   stop_desktop            ends both

desktop_xvfb_pid=""
desktop_wm_pid=""

test_homes() {
  export QUILLBOX_HOME="$1/home" XDG_CONFIG_HOME="$1/config" XDG_RUNTIME_DIR="$1/run"
  mkdir -p "$QUILLBOX_HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
}

# wait_until <seconds> <command...>: polls the command until it succeeds;
# false when it did not within the time.
wait_until() {
  local tries=$(($1 * 10)); shift
  for _ in $(seq "$tries"); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

# -noreset: Xvfb would otherwise reset itself when its last client leaves
# (the xdpyinfo that checks it is up), and a client that connects during the
# reset, jwm or a test, is turned away.
start_desktop() {
  local logs=$1
  if [ -n "${QUILL_DISPLAY:-}" ]; then
    Xvfb "$QUILL_DISPLAY" -screen 0 1280x1024x24 -nolisten tcp -noreset >"$logs/xvfb.log" 2>&1 &
    desktop_xvfb_pid=$!
    export DISPLAY=$QUILL_DISPLAY
  else
    # Xvfb writes the number of the display it took once it accepts clients.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$logs/display" >"$logs/xvfb.log" 2>&1 &
    desktop_xvfb_pid=$!
    if ! wait_until 30 test -s "$logs/display"; then
      echo "Xvfb did not start: $(cat "$logs/xvfb.log")" >&2
      return 1
    fi
    export DISPLAY=":$(head -n1 "$logs/display")"
  fi
  if ! wait_until 30 xdpyinfo; then
    echo "Xvfb did not start on $DISPLAY: $(cat "$logs/xvfb.log")" >&2
    return 1
  fi
  jwm >"$logs/jwm.log" 2>&1 &
  desktop_wm_pid=$!
  # jwm names its check window on the root window once it manages windows.
  if ! wait_until 30 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'; then
    echo "jwm did not start on $DISPLAY: $(cat "$logs/jwm.log")" >&2
    return 1
  fi
}

stop_desktop() {
  [ -n "$desktop_wm_pid" ] && kill "$desktop_wm_pid" 2>/dev/null || true
  [ -n "$desktop_xvfb_pid" ] && kill "$desktop_xvfb_pid" 2>/dev/null || true
  desktop_wm_pid=""
  desktop_xvfb_pid=""
}
