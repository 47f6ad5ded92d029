#!/usr/bin/env bash
# Screenshots of the program at several display scales under wine in Xvfb: for each DPI the main
# window after identifying a text, and the About box.
#
#     scripts/dpi-screenshots.sh win32|win64 OUT_FOLDER [DPI...]     # default DPIs: 96 144 192
#
# Uses the build folder of scripts/test-windows.sh (build/<arch>, built first when needed) and its wine
# prefix, whose DPI (LogPixels of the user's desktop settings) is set for each run and removed after.
# Writes OUT_FOLDER/main-<dpi>.png and OUT_FOLDER/about-<dpi>.png.
set -eEuo pipefail
trap 'echo "dpi-screenshots: failed at line $LINENO: $BASH_COMMAND" >&2' ERR
root=$(cd "$(dirname "$0")/.." && pwd)
arch=${1:-}
case "$arch" in win32|win64) ;; *) echo "usage: scripts/dpi-screenshots.sh win32|win64 OUT_FOLDER [DPI...]" >&2; exit 2 ;; esac
out=$(realpath -m "${2:?usage: scripts/dpi-screenshots.sh win32|win64 OUT_FOLDER [DPI...]}")
shift 2
dpis=("$@")
[ ${#dpis[@]} -gt 0 ] || dpis=(96 144 192)
build=$root/build/$arch
text=${TM_SHOT_TEXT:-Vi ses i morgen.}

"$root/scripts/build-windows.sh" "$arch" "$build" Tonguemeter tm-demo
. "$root/scripts/wine-env.sh" "$build" "$arch"
shots=$build/dpi-shots
mkdir -p "$out" "$shots"
cp "$build/app/Tonguemeter.exe" "$shots/"
demo="$build/tools/demo/tm-demo.exe"
restore() {
    tm_wine reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null 2>&1 || true
    tm_wine_cleanup
}
trap restore EXIT

# Crops the screen to the bounds on the "window:" line of a tm-demo log.
shoot() {
    local x y w h
    read -r _ x y w h < <(tr -d '\r' <"$1" | grep '^window:')
    import -window root -crop "${w}x${h}+${x}+${y}" +repage "$2"
    echo "dpi-screenshots: $2 (${w} x ${h})"
}

for dpi in "${dpis[@]}"; do
    tm_wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
    rm -f "$shots/Tonguemeter.ini"
    tm_wine "$shots/Tonguemeter.exe" >"$shots/program-$dpi.log" 2>&1 &
    tm_wine "$demo" identify "$text" >"$shots/identify-$dpi.log" 2>&1 || {
        cat "$shots/identify-$dpi.log" >&2; echo "dpi-screenshots: the program did not identify at $dpi DPI" >&2; exit 1; }
    tr -d '\r' <"$shots/identify-$dpi.log" | grep '^verdict:'
    sleep 1   # after the verdict's flash
    shoot "$shots/identify-$dpi.log" "$out/main-$dpi.png"
    tm_wine "$demo" about >"$shots/about-$dpi.log" 2>&1 || {
        cat "$shots/about-$dpi.log" >&2; echo "dpi-screenshots: the About box did not open at $dpi DPI" >&2; exit 1; }
    shoot "$shots/about-$dpi.log" "$out/about-$dpi.png"
    tm_wine "$demo" close >/dev/null || { echo "dpi-screenshots: the program did not close at $dpi DPI" >&2; exit 1; }
done
