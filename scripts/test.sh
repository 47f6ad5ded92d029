#!/usr/bin/env bash
# Builds everything and runs every test: native unit tests and checks, the profile rebuild, the unit
# tests under AddressSanitizer and UndefinedBehaviorSanitizer, a fixed-seed fuzz run of the profile
# reader (each blob that loads is also scored both ways), and both Windows builds with their tests
# under wine in a virtual display: the 32-bit build where this host can run 32-bit programs, the
# 64-bit build everywhere (a build the host cannot run is still compiled), and the release zips.
# Installs what it needs first (Debian 12, as root or with sudo).
#
#     scripts/test.sh [--native-only]
#     TM_WIN32=yes|no scripts/test.sh     # forces whether the 32-bit build's tests run
set -eEuo pipefail
trap 'echo "test.sh: failed at line $LINENO: $BASH_COMMAND" >&2' ERR
cd "$(dirname "$0")/.."
root=$PWD
mkdir -p build
jobs=$(nproc)
fuzz_seconds=${TM_FUZZ_SECONDS:-60}
native_only=""
case "${1:-}" in
    --native-only) native_only="--native-only" ;;
    "") ;;
    *) echo "usage: scripts/test.sh [--native-only]" >&2; exit 2 ;;
esac

passed=0
failed=0
times=()
stage_name=""
stage_start=0
# Starts a stage; the previous one's time goes into the summary.
stage() {
    end_stage
    stage_name=$*
    stage_start=$SECONDS
    printf '\n=== %s\n' "$stage_name"
}
end_stage() {
    if [ -n "$stage_name" ]; then
        times+=("$(printf '%5d s  %s' $((SECONDS - stage_start)) "$stage_name")")
    fi
    stage_name=""
}
# Adds the counts of a ctest summary line in a log to the totals; a run that printed none, or that
# failed without a failing test, counts as one failure.
count_ctest() {
    local log=$1 rc=$2 line total bad
    line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1 || true)
    if [ -z "$line" ]; then
        failed=$((failed + 1))
        return
    fi
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    bad=$(sed -E 's/.*tests passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
    [ "$rc" -eq 0 ] || [ "$bad" -gt 0 ] || failed=$((failed + 1))
}
# Runs ctest in a build folder and adds its counts to the totals.
run_ctest() {
    local dir=$1; shift
    local log rc=0
    log=$(mktemp)
    (cd "$dir" && ctest --output-on-failure "$@") >"$log" 2>&1 || rc=$?
    cat "$log"
    count_ctest "$log" "$rc"
    rm -f "$log"
}

stage "installing what the build and the tests need"
if ! scripts/setup-debian.sh $native_only; then
    echo "test.sh: setting up the machine failed (see above); nothing was tested" >&2
    exit 1
fi

stage "native build and tests"
if cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Release >build/native-configure.log 2>&1 &&
   cmake --build build/native -j "$jobs"; then
    run_ctest build/native -j "$jobs"
else
    echo "test.sh: the native build failed (configure log: build/native-configure.log)" >&2
    failed=$((failed + 1))
fi

stage "unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
if CC=clang CXX=clang++ cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTM_SANITIZE=ON \
       -DTM_FUZZ=ON -DTM_BUILD_BENCH=OFF >build/sanitize-configure.log 2>&1 &&
   cmake --build build/sanitize -j "$jobs" --target engine_tests fuzz_profile_blob; then
    run_ctest build/sanitize -R '^engine_tests$'

    stage "fuzzing the profile reader and every scoring path for ${fuzz_seconds} s (fixed seed)"
    seeds=build/sanitize/fuzz-seeds
    work=build/sanitize/fuzz-work
    rm -rf "$work" && mkdir -p "$work"
    tests/fuzz/make-seeds.sh "$seeds"
    # Every seed whole once first: the timed run skips inputs longer than -max_len, such as the
    # seeds that claim a huge table.
    if build/sanitize/tests/fuzz_profile_blob "$seeds"/* > build/sanitize/fuzz-seeds.log 2>&1 &&
       build/sanitize/tests/fuzz_profile_blob -seed=1 -max_total_time="$fuzz_seconds" -max_len=4096 \
         -print_final_stats=1 "$work" "$seeds" > build/sanitize/fuzz.log 2>&1; then
      tail -n 3 build/sanitize/fuzz.log
      echo "fuzz: clean"
      passed=$((passed + 1))
    else
      tail -n 40 build/sanitize/fuzz-seeds.log build/sanitize/fuzz.log 2>/dev/null
      echo "fuzz: FAILED (crash input in $root; logs: build/sanitize/fuzz-seeds.log, build/sanitize/fuzz.log)"
      failed=$((failed + 1))
    fi
else
    echo "test.sh: the sanitizer build failed (configure log: build/sanitize-configure.log)" >&2
    failed=$((failed + 1))
fi

windows_line=""
if [ -z "$native_only" ]; then
    . scripts/win32-support.sh
    tm_win32_support
    if [ "$TM_WIN32_RUNS" = yes ]; then
        windows_line="Windows tests: 32-bit and 64-bit builds tested ($TM_WIN32_WHY)"
    else
        windows_line="Windows tests: 64-bit build tested; 32-bit build compiled only: $TM_WIN32_WHY"
    fi
    echo
    echo "$windows_line"
    for arch in win32 win64; do
        if [ "$arch" = win32 ] && [ "$TM_WIN32_RUNS" != yes ]; then
            stage "Windows $arch build (compiled only: $TM_WIN32_WHY)"
            if scripts/test-windows.sh "$arch" --build-only; then
                passed=$((passed + 1))
            else
                failed=$((failed + 1))
            fi
            continue
        fi
        stage "Windows $arch build and tests under wine"
        rc=0
        scripts/test-windows.sh "$arch" >"build/windows-$arch-tests.log" 2>&1 || rc=$?
        cat "build/windows-$arch-tests.log"
        count_ctest "build/windows-$arch-tests.log" "$rc"
    done

    stage "release packages: made twice, compared, checked and started"
    runnable=(win64)
    [ "$TM_WIN32_RUNS" != yes ] || runnable=(win32 win64)
    rc=0
    tests/release/check-release.sh "${runnable[@]}" | tee build/release-check.log || rc=$?
    line=$(grep -E '^release: [0-9]+ passed, [0-9]+ failed' build/release-check.log || true)
    if [ -n "$line" ]; then
        passed=$((passed + $(sed -E 's/release: ([0-9]+) passed.*/\1/' <<<"$line")))
        failed=$((failed + $(sed -E 's/.* ([0-9]+) failed/\1/' <<<"$line")))
    fi
    [ "$rc" -eq 0 ] || [ -n "$line" ] || failed=$((failed + 1))
fi
end_stage

echo
echo "Stage times:"
printf '%s\n' "${times[@]}"
if [ -n "$windows_line" ]; then echo "$windows_line"; fi
echo "Summary: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
