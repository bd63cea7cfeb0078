#!/usr/bin/env bash
# Builds the project with sanitizers into its own folder and runs the unit, integration and window
# tests there. Called by ./test --sanitize=LIST; further arguments go to CTest.
#   address,undefined  clang, build-asan/   (AddressSanitizer, LeakSanitizer, UBSan)
#   thread             clang, build-tsan/   (ThreadSanitizer; scripts/tsan.supp for Qt's own code)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
list=${1:?usage: sanitize.sh address,undefined|thread [ctest options]}
shift

case "$list" in
  address|undefined|address,undefined|undefined,address)
    folder=build-asan
    flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
    ;;
  thread)
    folder=build-tsan
    flags="-fsanitize=thread"
    ;;
  *)
    echo "Unknown sanitizer list '$list': use address,undefined or thread." >&2
    exit 2
    ;;
esac

"$root/scripts/ensure-deps.sh" clang libclang-rt-14-dev llvm-14
build="$root/$folder"
source "$root/scripts/ccache.sh"
# A folder configured before without the launcher gets it now, so rebuilds after a merge are cheap.
if [ ! -f "$build/build.ninja" ] || { [ ${#launcher[@]} -gt 0 ] && ! grep -q '^CMAKE_CXX_COMPILER_LAUNCHER:.*ccache' "$build/CMakeCache.txt"; }; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCORVANE_BUILD_BENCH=OFF "${launcher[@]}" \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" >/dev/null
fi
CORVANE_BUILD_DIR="$build" "$root/scripts/build.sh"

# Every report fails the test that caused it; symbols from llvm-symbolizer where it is installed.
symbolizer=$(command -v llvm-symbolizer || command -v llvm-symbolizer-14 || true)
[ -n "$symbolizer" ] && export ASAN_SYMBOLIZER_PATH="$symbolizer" TSAN_SYMBOLIZER_PATH="$symbolizer"
export ASAN_OPTIONS="detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1:check_initialization_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="suppressions=$root/scripts/tsan.supp:second_deadlock_stack=1:halt_on_error=0:exitcode=66"

cd "$build"
jobs=$(nproc 2>/dev/null || echo 2)
# The external interoperability test and the slow tests are left out.
exec ctest --output-on-failure -j "$jobs" --timeout 900 -L '^(unit|integration|gui)$' "$@"
