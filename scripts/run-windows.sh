#!/usr/bin/env bash
# Builds Tonguemeter.exe (cross, mingw-w64) and starts it under wine.
#
#   scripts/run-windows.sh [--arch win32|win64] [--screenshot FILE] [--text TEXT]
#
# --arch: the 32-bit reference build (the default where this host can run 32-bit programs) or the
# 64-bit one (the default elsewhere). With a display ($DISPLAY set) the program simply runs until it
# is closed. Without one, a virtual display (Xvfb) is started, a sample text is pasted and
# identified, and after the verdict's flash (500 ms) a screenshot of the window is saved and its
# path printed; then the program is closed. The build folder is build/run-<arch>, with the wine
# prefix inside it. Whatever fails is named on stderr with its log and what to do.
set -eEuo pipefail
trap 'echo "run-windows: failed at line $LINENO: $BASH_COMMAND" >&2' ERR
cd "$(dirname "$0")/.."
root=$(pwd)
arch=""
shot=""
text=""
usage() { echo "usage: scripts/run-windows.sh [--arch win32|win64] [--screenshot FILE] [--text TEXT]" >&2; exit 2; }
while [ $# -gt 0 ]; do
    case "$1" in
        --arch) [ $# -ge 2 ] || usage; arch=$2; shift 2 ;;
        --screenshot) [ $# -ge 2 ] || usage; shot=$(realpath -m "$2"); shift 2 ;;
        --text) [ $# -ge 2 ] || usage; text=$2; shift 2 ;;
        *) usage ;;
    esac
done
fail() {
    echo "run-windows: $*" >&2
    exit 1
}

. scripts/win32-support.sh
if [ -z "$arch" ]; then
    tm_win32_support
    if [ "$TM_WIN32_RUNS" = yes ]; then
        arch=win32
    else
        arch=win64
        echo "run-windows: running the 64-bit build: $TM_WIN32_WHY"
    fi
fi
case "$arch" in
    win32|win64) ;;
    *) usage ;;
esac
build="$root/build/run-$arch"
[ -n "$shot" ] || shot="$build/screenshot.png"
mkdir -p "$build"

echo "run-windows: building the $arch program (log: $build/build.log)"
scripts/build-windows.sh "$arch" "$build" Tonguemeter tm-demo || fail "the $arch build failed (see above)"
exe="$build/app/Tonguemeter.exe"
demo="$build/tools/demo/tm-demo.exe"

# The prefix inside the build folder, with Japanese font replacements and the settings for running
# without a window manager.
. scripts/wine-env.sh "$build" "$arch" --no-start

if [ -n "${DISPLAY:-}" ]; then
    # A real display: run the program there until the user closes it.
    tm_wine_prepare_prefix || fail "the wine prefix could not be made (see above)"
    code=0
    tm_wine "$exe" || code=$?
    wineserver -w || true
    [ "$code" -eq 0 ] || fail "Tonguemeter ended with exit code $code"
    exit 0
fi

echo "run-windows: no display: starting a virtual one"
tm_wine_start_xvfb || fail "no virtual display (see above)"
trap tm_wine_cleanup EXIT
tm_wine_prepare_prefix || fail "the wine prefix could not be made (see above)"
tm_wine_keep_alive || fail "wine could not start its services (see above)"
program_log="$build/program.log"
tm_wine "$exe" </dev/null >"$program_log" 2>&1 &
program=$!
demo_log="$build/demo.log"
if ! tm_wine "$demo" identify ${text:+"$text"} >"$demo_log" 2>&1; then
    cat "$demo_log" >&2
    kill "$program" 2>/dev/null || true
    fail "the program did not reach its ready text or could not identify the sample" \
        "(program's output: $program_log; driver's: $demo_log). Try WINEDEBUG=err+all in $build for details."
fi
tr -d '\r' <"$demo_log" | grep '^verdict:' || true
sleep 1   # the verdict is drawn inverted for 500 ms; photograph it after that
read -r _ x y w h < <(tr -d '\r' <"$demo_log" | grep '^window:')
mkdir -p "$(dirname "$shot")"
import -window root -crop "${w}x${h}+${x}+${y}" +repage "$shot" || fail "the screenshot could not be taken (ImageMagick's import)"
echo "screenshot: $shot"
tm_wine "$demo" close >/dev/null || fail "the program did not close within 30 s"
wait "$program" || fail "Tonguemeter ended with a non-zero exit code (output: $program_log)"
