#!/usr/bin/env bash
# Configures and builds one Windows build with mingw-w64.
#
#     scripts/build-windows.sh win32|win64 BUILD_FOLDER [TARGET...]
#
# win32 is the 32-bit reference program (cmake/mingw-i686.cmake), win64 the 64-bit one
# (cmake/mingw-x86_64.cmake). Without targets everything is built, tests included. The output goes
# to BUILD_FOLDER/build.log; on failure its errors are shown and the exit status is 1.
set -eEuo pipefail
trap 'echo "build-windows: failed at line $LINENO: $BASH_COMMAND" >&2' ERR
root=$(cd "$(dirname "$0")/.." && pwd)
case "${1:-}" in
    win32) toolchain=mingw-i686 ;;
    win64) toolchain=mingw-x86_64 ;;
    *) echo "usage: scripts/build-windows.sh win32|win64 BUILD_FOLDER [TARGET...]" >&2; exit 2 ;;
esac
arch=$1
build=${2:?usage: scripts/build-windows.sh win32|win64 BUILD_FOLDER [TARGET...]}
shift 2
targets=()
[ $# -eq 0 ] || targets=(--target "$@")
mkdir -p "$build"
log="$build/build.log"
if ! { cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain.cmake" \
             -DCMAKE_BUILD_TYPE=Release && cmake --build "$build" -j"$(nproc)" "${targets[@]}"; } >"$log" 2>&1; then
    grep -E "error|Error" "$log" | head -40 >&2 || tail -n 40 "$log" >&2
    echo "build-windows: the $arch build failed (full log: $log); scripts/setup-debian.sh installs the cross compilers" >&2
    exit 1
fi
