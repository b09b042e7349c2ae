#!/usr/bin/env bash
# Times the road in daily use on a desktop of its own: an Xvfb server with
# the jwm window manager, where bench/road_latency (built with
# -DQUILL_BENCH=ON) starts mousepad and quillmain of the same build in
# fresh folders and sends them keys.
#
#   bench/road_latency.sh [build folder (default build-bench)] [benchmark flags...]
#
# The display is QUILL_BENCH_DISPLAY (a number) when set, otherwise one
# the server finds free. The kinds of run take turns in random order
# (--benchmark_enable_random_interleaving), so a load that comes and goes
# on the machine falls on all of them alike. Not part of ./test.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
[ $# -gt 0 ] && shift
program="$build/bench/road_latency"
if [ ! -x "$program" ]; then
  echo "no $program: build it with scripts/build.sh $build -DQUILL_BENCH=ON -DCMAKE_BUILD_TYPE=Release" >&2
  exit 2
fi

work=$(mktemp -d)
xvfb_pid=""
wm_pid=""
cleanup() {
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Nothing reaches the user's own files.
export HOME="$work/home" QUILLBOX_HOME="$work/quillbox" XDG_CONFIG_HOME="$work/config" \
  XDG_RUNTIME_DIR="$work/run"
mkdir -p "$HOME" "$QUILLBOX_HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

if [ -n "${QUILL_BENCH_DISPLAY:-}" ]; then
  display=":$QUILL_BENCH_DISPLAY"
  Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
else
  # The server writes the number of the display it took.
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
  display=":$(head -n1 "$work/display")"
fi
for _ in $(seq 100); do DISPLAY=$display xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
if ! DISPLAY=$display xdpyinfo >/dev/null 2>&1; then
  echo "Xvfb did not start on $display:" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi
DISPLAY=$display jwm >"$work/jwm.log" 2>&1 &
wm_pid=$!
# jwm has taken the display once it manages the root window.
for _ in $(seq 100); do
  DISPLAY=$display xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done

echo "display $display, load average $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores"
DISPLAY=$display QT_QPA_PLATFORM=xcb "$program" --benchmark_enable_random_interleaving=true "$@"
