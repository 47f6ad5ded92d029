#!/usr/bin/env bash
# Installs everything the build, the tests and the Windows program need on Debian 12 (as root, or
# with sudo). Idempotent: packages already present are left alone.
#
#     scripts/setup-debian.sh [--native-only]
#
# Both Windows builds are compiled everywhere. wine32 (with the i386 architecture and its libraries)
# is installed only where the host can run 32-bit programs, since on a kernel without IA-32 support
# it cannot start; wine64 runs the 64-bit build there. TM_WIN32=yes or no forces either choice.
set -eEuo pipefail
trap 'echo "setup-debian: failed at line $LINENO: $BASH_COMMAND" >&2' ERR
cd "$(dirname "$0")/.."
. scripts/win32-support.sh

native=(build-essential cmake googletest libbenchmark-dev clang libclang-rt-14-dev python3)
windows=(g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
         wine wine64 fonts-wine xvfb xauth x11-utils fonts-ipafont-gothic imagemagick icoutils xdotool)
win32=(wine32:i386 libxrender1:i386 libxrandr2:i386 libxi6:i386 libxcursor1:i386 libxinerama1:i386
       libxcomposite1:i386 libxfixes3:i386)

want=("${native[@]}")
with_win32=""
if [ "${1:-}" != "--native-only" ]; then
    want+=("${windows[@]}")
    case "${TM_WIN32:-}" in
        yes) with_win32=yes ;;
        no) ;;
        *) if tm_host_runs_i386; then with_win32=yes; fi ;;
    esac
    if [ -n "$with_win32" ]; then
        want+=("${win32[@]}")
    elif [ "${TM_WIN32:-}" = no ]; then
        echo "setup-debian: not installing wine32 (TM_WIN32=no)"
    else
        echo "setup-debian: not installing wine32: this host cannot run 32-bit programs; the 64-bit Windows build is tested instead"
    fi
fi

missing() {
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
    done
}
mapfile -t todo < <(missing "${want[@]}")
[ ${#todo[@]} -eq 0 ] && exit 0

export DEBIAN_FRONTEND=noninteractive
sudo_=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || {
        echo "setup-debian: these packages are missing and installing them needs root (or sudo): ${todo[*]}" >&2
        exit 1
    }
    sudo_=sudo
fi
if [ -n "$with_win32" ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo_ dpkg --add-architecture i386
fi
echo "setup-debian: installing ${todo[*]}"
if ! $sudo_ apt-get update -qq; then
    echo "setup-debian: apt-get update failed (see above): check the network and /etc/apt/sources.list" >&2
    exit 1
fi
# wine32's post-install step runs a 32-bit program; where that cannot run it fails, yet the package
# is installed. Judge the result by what is installed, not by apt's status alone.
$sudo_ apt-get install -y -qq --no-install-recommends "${todo[@]}" || true
mapfile -t still < <(missing "${want[@]}")
if [ ${#still[@]} -gt 0 ] && [ -n "$with_win32" ] && ! tm_host_runs_i386; then
    # wine32 forced onto a host that cannot run it: it stays half set up, and its tests will say so.
    mapfile -t still < <(missing "${native[@]}" "${windows[@]}")
    echo "setup-debian: wine32 is not fully set up (this host cannot run 32-bit programs)" >&2
fi
if [ ${#still[@]} -gt 0 ]; then
    echo "setup-debian: these packages could not be installed: ${still[*]} (apt-get's output is above)" >&2
    exit 1
fi
