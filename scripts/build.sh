#!/usr/bin/env bash
# Configures (once) and builds the project in build/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${CORVANE_BUILD_DIR:-$root/build}"
source "$root/scripts/ccache.sh"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
fi
jobs=$(nproc 2>/dev/null || echo 2)
cmake --build "$build" -j "$jobs" "$@"
