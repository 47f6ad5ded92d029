#!/usr/bin/env bash
# Builds the Windows program and its tests with mingw-w64 (i686) in build-win and runs every test
# under wine in a private Xvfb. Prints ctest's summary; the exit status is non-zero on any failure.
#
#     tools/test-windows.sh            # build folder: build-win
#     TM_BUILD_WIN=build-win-x tools/test-windows.sh
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${TM_BUILD_WIN:-$root/build-win}
jobs=$(nproc)

. "$root/tools/wine-env.sh" "$build" --no-start
trap tm_wine_cleanup EXIT
tm_wine_start_xvfb
# A new wine prefix takes half a minute: prepare it while the build runs.
tm_wine_prepare_prefix >"$build/wine-prefix.log" 2>&1 &
prefix_job=$!

cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
if ! cmake --build "$build" -j"$jobs" >"$build/build.log" 2>&1; then
    grep -E "error|Error" "$build/build.log" | head -40
    echo "test-windows: build failed, see $build/build.log" >&2
    wait "$prefix_job" || true
    exit 1
fi
if ! wait "$prefix_job"; then
    cat "$build/wine-prefix.log"
    echo "test-windows: preparing the wine prefix failed" >&2
    exit 1
fi
tm_wine_keep_alive

# One test at a time: the settings tests share the ini file beside their program, and the drag and
# drop test needs the mouse to itself.
status=0
ctest --test-dir "$build" --output-on-failure --timeout 120 >"$build/ctest.log" 2>&1 || status=$?
if [ "$status" -eq 0 ]; then
    grep -E -A1000 "tests passed" "$build/ctest.log"
else
    cat "$build/ctest.log"
    echo "test-windows: failures (output above, also in $build/ctest.log)" >&2
fi
exit "$status"
