#!/usr/bin/env bash
# The wine loader that runs programs of a Windows build: the one place that looks it up, for the
# scripts (source this file and call tm_wine_loader) and for the CMake toolchain files (run it).
#
#     scripts/wine-loader.sh win32|win64    # prints the loader's path, or nothing when none is installed
#
# win32 runs under the 32-bit loader (wine), win64 under the 64-bit one (wine64). Debian keeps its
# loaders in wine's library folder; its `wine` wrapper on PATH picks wine32 whenever that is
# installed, even where it cannot run, and wine64 when it is not, so PATH is searched only on systems
# without that folder.

# Prints the loader's name for an architecture: wine or wine64.
tm_wine_loader_name() {
    case "$1" in
        win32) echo wine ;;
        win64) echo wine64 ;;
        *) return 1 ;;
    esac
}

# Prints the loader's path for an architecture, or nothing when it is not installed.
tm_wine_loader() {
    local name
    name=$(tm_wine_loader_name "$1") || return 1
    if [ -d /usr/lib/wine ]; then
        [ -x "/usr/lib/wine/$name" ] && echo "/usr/lib/wine/$name"
    else
        command -v "$name"
    fi
    return 0
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    tm_wine_loader "${1:?usage: scripts/wine-loader.sh win32|win64}" ||
        { echo "wine-loader: unknown architecture '$1' (use win32 or win64)" >&2; exit 2; }
fi
