#!/usr/bin/env bash
# Installs everything the build, the tests and the Windows program need on Debian 12 (as root).
# Idempotent: packages already present are left alone.
set -euo pipefail

native=(build-essential cmake googletest libbenchmark-dev clang libclang-rt-14-dev python3)
windows=(g++-mingw-w64-i686 binutils-mingw-w64-i686 wine wine32:i386 fonts-wine
         libxrender1:i386 libxrandr2:i386 libxi6:i386 libxcursor1:i386 libxinerama1:i386
         libxcomposite1:i386 libxfixes3:i386 xvfb xauth x11-utils fonts-ipafont-gothic imagemagick
         icoutils xdotool)

want=("${native[@]}")
if [ "${1:-}" != "--native-only" ]; then
  want+=("${windows[@]}")
fi

missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

export DEBIAN_FRONTEND=noninteractive
sudo_=""
[ "$(id -u)" -eq 0 ] || sudo_=sudo
if [ "${1:-}" != "--native-only" ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo_ dpkg --add-architecture i386
fi
$sudo_ apt-get update -qq
$sudo_ apt-get install -y -qq --no-install-recommends "${missing[@]}"
