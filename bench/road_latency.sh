#!/usr/bin/env bash
# Times the road in daily use on a desktop of its own: an Xvfb server with
# the jwm window manager, where bench/road_latency (built with
# -DQUILL_BENCH=ON) starts mousepad and quillmain of the same build in
# fresh folders and sends them keys.
#
#   bench/road_latency.sh [build folder (default build-bench)] [benchmark flags...]
#
# The display is QUILL_DISPLAY (":N") when set, otherwise one the server
# finds free. The kinds of run take turns in random order
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

. scripts/session.sh
work=$(mktemp -d)
cleanup() {
  stop_desktop
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Nothing reaches the user's own files.
test_homes "$work"
export HOME="$work/user"
mkdir -p "$HOME"
start_desktop "$work"  # exports DISPLAY

echo "display $DISPLAY, load average $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores"
QT_QPA_PLATFORM=xcb "$program" --benchmark_enable_random_interleaving=true "$@"
