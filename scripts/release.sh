#!/usr/bin/env bash
# Builds both Windows programs and makes the release zips (installing what it needs first,
# Debian 12):
#
#     scripts/release.sh [--out DIR]        # default: dist/
#
# Writes DIR/Tonguemeter-<version>-win32.zip and ...-win64.zip, each holding one folder with the
# program, a read-me for users (Japanese and English), the program's licence and the notice of the
# data the profiles were made from. <version> is TM_VERSION_TEXT of res/resource.h, the version
# the program's version resource and About box show. The same sources give the same zips, byte for
# byte. The builds are those of the tests, build/win32 and build/win64.
set -eEuo pipefail
trap 'echo "release: failed at line $LINENO: $BASH_COMMAND" >&2' ERR
cd "$(dirname "$0")/.."
root=$PWD
out=dist
while [ $# -gt 0 ]; do
    case "$1" in
        --out) [ $# -ge 2 ] || { echo "usage: scripts/release.sh [--out DIR]" >&2; exit 2; }; out=$2; shift 2 ;;
        *) echo "usage: scripts/release.sh [--out DIR]" >&2; exit 2 ;;
    esac
done
fail() {
    echo "release: $*" >&2
    exit 1
}

version=$(sed -n 's/^#define TM_VERSION_TEXT *"\([^"]*\)".*/\1/p' res/resource.h)
[ -n "$version" ] || fail "no TM_VERSION_TEXT in res/resource.h"
scripts/setup-debian.sh || fail "setting up the machine failed (see above)"
mkdir -p "$out"

for arch in win32 win64; do
    echo "release: building the $arch program (log: build/$arch/build.log)"
    scripts/build-windows.sh "$arch" "build/$arch" Tonguemeter || fail "the $arch build failed (see above)"
    zip="$out/Tonguemeter-$version-$arch.zip"
    python3 scripts/release/make-zip.py "$zip" "Tonguemeter-$version-$arch" \
        "Tonguemeter.exe=build/$arch/app/Tonguemeter.exe" \
        "README.txt=docs/user/README.txt" \
        "LICENSE.txt=LICENSE" \
        "DATA-SOURCES.md=docs/DATA-SOURCES.md" || fail "$zip could not be written (see above)"
    echo "release: $zip ($(stat -c %s "$zip") bytes)"
done
