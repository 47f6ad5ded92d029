#!/usr/bin/env bash
# Rebuilds the committed test blobs in this folder with the project's own blob writer (native g++).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
g++ -std=c++17 -O1 -I"$root/profiles" -I"$root/engine" \
    "$here/MakeTestBlobs.cpp" "$root"/profiles/*.cpp "$root"/engine/*.cpp \
    -o "$tmp/make-test-blobs"
cd "$here" && "$tmp/make-test-blobs"
