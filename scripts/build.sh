#!/usr/bin/env bash
# Configures and builds one build folder: scripts/build.sh <folder> [cmake options...]
# QUILL_JOBS sets the number of parallel compile jobs (default: all cores).
set -euo pipefail
dir=$1; shift
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$dir" -j"${QUILL_JOBS:-$(nproc)}"
