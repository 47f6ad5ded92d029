#!/usr/bin/env bash
# Builds the Windows program and its tests with mingw-w64 for one architecture and runs every test
# under wine in a private Xvfb. Prints ctest's summary; the exit status is non-zero on any failure.
#
#     scripts/test-windows.sh win32|win64 [--build-only]
#
# win32 is the reference program (wine32: needs a host that runs 32-bit programs); win64 runs
# under wine64 on any 64-bit host. --build-only compiles everything and runs nothing. The build
# folder is build/<arch> (TM_BUILD_WIN overrides it).
set -eEuo pipefail
trap 'echo "test-windows: failed at line $LINENO: $BASH_COMMAND" >&2' ERR

root=$(cd "$(dirname "$0")/.." && pwd)
arch=${1:-}
case "$arch" in
    win32|win64) ;;
    *) echo "usage: scripts/test-windows.sh win32|win64 [--build-only]" >&2; exit 2 ;;
esac
build_only=""
[ "${2:-}" = "--build-only" ] && build_only=yes
build=${TM_BUILD_WIN:-$root/build/$arch}
mkdir -p "$build"

prefix_job=""
if [ -z "$build_only" ]; then
    . "$root/scripts/wine-env.sh" "$build" "$arch" --no-start
    trap tm_wine_cleanup EXIT
    tm_wine_start_xvfb
    # A new wine prefix takes half a minute: prepare it while the build runs.
    tm_wine_prepare_prefix 2>"$build/wine-prefix.err" &
    prefix_job=$!
fi

if ! "$root/scripts/build-windows.sh" "$arch" "$build"; then
    [ -z "$prefix_job" ] || wait "$prefix_job" || true
    exit 1
fi
if [ -n "$build_only" ]; then
    echo "test-windows: the $arch build compiled (log: $build/build.log); its tests were not run"
    exit 0
fi
if ! wait "$prefix_job"; then
    cat "$build/wine-prefix.err" >&2
    echo "test-windows: the wine prefix for the $arch tests could not be made (see above)" >&2
    exit 1
fi
tm_wine_keep_alive

# One test at a time: the settings tests share the ini file beside their program, and the drag and
# drop test needs the mouse to itself.
status=0
ctest --test-dir "$build" --output-on-failure --timeout 120 >"$build/ctest.log" 2>&1 || status=$?
if [ "$status" -eq 0 ]; then
    grep -h "start-up to the ready text" "$build/Testing/Temporary/LastTest.log" || true
    grep -E -A1000 "tests passed" "$build/ctest.log"
else
    cat "$build/ctest.log"
    echo "test-windows: $arch test failures (output above, also in $build/ctest.log)" >&2
fi
exit "$status"
