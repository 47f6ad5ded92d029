#!/usr/bin/env bash
# Checks the release packages: scripts/release.sh makes them, a second time after the programs are
# linked again, and both sets must be byte-identical; each zip's contents and program are checked
# (check_zips.py); and the program unpacked from each zip that this host can run starts under wine
# and reaches its ready text. Uses the build folders of the Windows tests (build/win32, build/win64)
# and their wine prefixes. Prints one line per check and "release: N passed, N failed".
#
#     tests/release/check-release.sh [ARCH...]    # the architectures whose programs to start
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
runnable=("$@")
out=build/release
passed=0
failed=0
result() {
    if [ "$1" -eq 0 ]; then echo "ok   $2"; passed=$((passed + 1)); else echo "FAIL $2"; failed=$((failed + 1)); fi
}

rm -rf "$out" && mkdir -p "$out/first" "$out/second"
scripts/release.sh --out "$out/first" >"$out/release.log" 2>&1
rc=$?
result "$rc" "scripts/release.sh makes both zips (log: $out/release.log)"
if [ "$rc" -eq 0 ]; then
    # Linking again is where a build time would get in.
    rm -f build/win32/app/Tonguemeter.exe build/win64/app/Tonguemeter.exe
    scripts/release.sh --out "$out/second" >>"$out/release.log" 2>&1
    rc=$?
    for zip in "$out"/first/*.zip; do
        [ "$rc" -eq 0 ] && cmp -s "$zip" "$out/second/$(basename "$zip")"
        result $? "$(basename "$zip") is the same byte for byte when made again"
    done
    python3 tests/release/check_zips.py "$out"/first/*.zip
    result $? "contents, machine types and subsystems"

    for arch in "${runnable[@]}"; do
        zip=$(ls "$out"/first/*-"$arch".zip)
        unpacked="$out/unpacked-$arch"
        python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$zip" "$unpacked"
        exe=$(ls "$unpacked"/*/Tonguemeter.exe)
        (
            . scripts/wine-env.sh "build/$arch" "$arch" || exit 1
            trap tm_wine_cleanup EXIT
            demo="build/$arch/tools/demo/tm-demo.exe"
            tm_wine "$exe" </dev/null >"$out/program-$arch.log" 2>&1 &
            program=$!
            tm_wine "$demo" identify "This is a sentence in English." >"$out/demo-$arch.log" 2>&1 &&
                grep -q "verdict: 英語 (English)" "$out/demo-$arch.log" &&
                tm_wine "$demo" close >>"$out/demo-$arch.log" 2>&1 &&
                wait "$program"
        )
        result $? "the $arch program from its zip starts under wine, identifies and closes (log: $out/demo-$arch.log)"
    done
fi
echo "release: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
