#!/usr/bin/env bash
# Builds everything and runs every test: native unit tests and checks, the profile rebuild, the unit
# tests under AddressSanitizer and UndefinedBehaviorSanitizer, a fixed-seed fuzz run of the profile
# reader (each blob that loads is also scored both ways), and the Windows build with its tests under
# wine in a virtual display.
# Installs what it needs first (Debian 12, as root or with sudo). Usage: tools/test.sh [--native-only]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)
fuzz_seconds=${TM_FUZZ_SECONDS:-60}
native_only=""
[ "${1:-}" = "--native-only" ] && native_only="--native-only"

tools/setup-debian.sh $native_only

passed=0
failed=0
stage() { printf '\n=== %s\n' "$*"; }
# Runs ctest in a build folder and adds its counts to the totals.
run_ctest() {
  local dir=$1; shift
  local log
  log=$(mktemp)
  set +e
  (cd "$dir" && ctest --output-on-failure "$@") 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  set -e
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1 || true)
  rm -f "$log"
  if [ -z "$line" ]; then
    failed=$((failed + 1))
    return
  fi
  local total bad
  total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
  bad=$(sed -E 's/.*tests passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
  [ "$rc" -eq 0 ] || [ "$bad" -gt 0 ] || failed=$((failed + 1))
}

stage "native build and tests"
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/native -j "$jobs"
run_ctest build/native -j "$jobs"

stage "unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
CC=clang CXX=clang++ cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTM_SANITIZE=ON \
  -DTM_FUZZ=ON -DTM_BUILD_BENCH=OFF >/dev/null
cmake --build build/sanitize -j "$jobs" --target engine_tests fuzz_profile_blob
run_ctest build/sanitize -R '^engine_tests$'

stage "fuzzing the profile reader and both scoring paths for ${fuzz_seconds} s (fixed seed)"
seeds=build/sanitize/fuzz-seeds
work=build/sanitize/fuzz-work
rm -rf "$work" && mkdir -p "$work"
tests/fuzz/make-seeds.sh "$seeds"
if build/sanitize/tests/fuzz_profile_blob -seed=1 -max_total_time="$fuzz_seconds" -max_len=4096 \
     -print_final_stats=1 "$work" "$seeds" > build/sanitize/fuzz.log 2>&1; then
  tail -n 3 build/sanitize/fuzz.log
  echo "fuzz: clean"
  passed=$((passed + 1))
else
  tail -n 40 build/sanitize/fuzz.log
  echo "fuzz: FAILED (crash input in $root)"
  failed=$((failed + 1))
fi

if [ -z "$native_only" ]; then
  stage "Windows build and tests under wine"
  set +e
  tools/test-windows.sh 2>&1 | tee build/windows-tests.log
  rc=${PIPESTATUS[0]}
  set -e
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' build/windows-tests.log | tail -n 1 || true)
  if [ -n "$line" ]; then
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    bad=$(sed -E 's/.*tests passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
  fi
  if [ "$rc" -ne 0 ] && { [ -z "$line" ] || [ "${bad:-0}" -eq 0 ]; }; then
    failed=$((failed + 1))
  fi
fi

echo
echo "Summary: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
