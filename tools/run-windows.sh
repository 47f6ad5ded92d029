#!/usr/bin/env bash
# Builds Tonguemeter.exe (cross, mingw-w64 i686) and starts it under wine.
#
#   tools/run-windows.sh [--screenshot FILE] [--text TEXT]
#
# With a display ($DISPLAY set) the program simply runs until it is closed. Without one, a virtual
# display (Xvfb) is started, a sample text is pasted and identified, and after the verdict's flash
# (500 ms) a screenshot of the window is saved and its path printed; then the program is closed.
# The build folder is build-run; the wine prefix lives inside it.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build="$root/build-run"
shot="$build/screenshot.png"
text=""
while [ $# -gt 0 ]; do
    case "$1" in
        --screenshot) shot=$(realpath -m "$2"); shift 2 ;;
        --text) text="$2"; shift 2 ;;
        *) echo "usage: tools/run-windows.sh [--screenshot FILE] [--text TEXT]" >&2; exit 2 ;;
    esac
done

mkdir -p "$build"
log="$build/build.log"
if ! { cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
           -DTM_BUILD_TESTS=OFF -DTM_BUILD_BENCH=OFF &&
       cmake --build "$build" --target Tonguemeter tm-demo -j"$(nproc)"; } >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "run-windows: the build failed (full log: $log)" >&2
    exit 1
fi
exe="$build/app/Tonguemeter.exe"
demo="$build/tools/demo/tm-demo.exe"

# The prefix inside the build folder, with Japanese font replacements and the settings for running
# without a window manager.
. "$root/tools/wine-env.sh" "$build" --no-start

if [ -n "${DISPLAY:-}" ]; then
    # A real display: run the program there until the user closes it.
    tm_wine_prepare_prefix
    set +e
    wine "$exe"
    code=$?
    wineserver -w
    exit $code
fi

tm_wine_start_xvfb
tm_wine_prepare_prefix
tm_wine_keep_alive
trap tm_wine_cleanup EXIT
wine "$exe" </dev/null >/dev/null 2>&1 &
program=$!
if [ -n "$text" ]; then
    out=$(wine "$demo" identify "$text")
else
    out=$(wine "$demo" identify)
fi
echo "$out" | grep '^verdict:' || true
sleep 1   # the verdict is drawn inverted for 500 ms; photograph it after that
read -r _ x y w h < <(echo "$out" | grep '^window:' | tr -d '\r')
mkdir -p "$(dirname "$shot")"
import -window root -crop "${w}x${h}+${x}+${y}" +repage "$shot"
echo "screenshot: $shot"
wine "$demo" close
wait "$program"
