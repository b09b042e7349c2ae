#!/usr/bin/env bash
# Runs the desktop tests N times (default 5) while stress-ng keeps every
# core busy, to show that they hold on a loaded machine. Builds as ./test
# does, on a virtual display of its own; not part of ./test.
#   scripts/stress-desktop.sh [N]
# The last line counts runs of the whole desktop suite: a run passes when
# every desktop test in it passes. The tests that failed are named per run;
# each run's ctest output stays in build/stress-desktop/.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
scripts/deps.sh
scripts/build.sh build

. scripts/session.sh
work=$(mktemp -d)
stress_pid=""
cleanup() {
  if [ -n "$stress_pid" ]; then
    kill "$stress_pid" 2>/dev/null || true
    wait "$stress_pid" 2>/dev/null || true
  fi
  stop_desktop
  rm -rf "$work"
}
trap cleanup EXIT

test_homes "$work"
start_desktop "$work"
stress-ng --cpu "$(nproc)" --quiet &
stress_pid=$!

logs=build/stress-desktop
rm -rf "$logs"
mkdir -p "$logs"
passed=0
failed=0
for run in $(seq "$runs"); do
  log="$logs/run$run.log"
  set +e
  QT_QPA_PLATFORM=xcb ctest --test-dir build -L desktop -j1 --output-on-failure >"$log" 2>&1
  status=$?
  set -e
  grep -E 'tests passed, [0-9]+ tests failed out of' "$log" | sed "s/^/run $run: /" || true
  if [ "$status" -eq 0 ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    sed -n '/The following tests FAILED:/,$p' "$log" | grep -E '^\s+[0-9]+ - ' | sed "s/^ */run $run failed: /" || true
  fi
done
echo "$passed passed, $failed failed"
