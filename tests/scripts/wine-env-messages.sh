#!/usr/bin/env bash
# The Windows stages say what failed and what to do: each case calls one stage of scripts/wine-env.sh
# directly, with what it needs taken away, and checks the status and the message.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# expect NAME PATTERN COMMAND...: the command fails and its standard error matches the pattern.
expect() {
    local name=$1 pattern=$2
    shift 2
    local err rc=0
    err=$("$@" 2>&1 >/dev/null) || rc=$?
    if [ "$rc" -eq 0 ] || ! grep -qE "$pattern" <<<"$err"; then
        echo "FAIL $name: status $rc, message: ${err:-none}"
        failures=$((failures + 1))
    else
        echo "ok   $name: $err"
    fi
}

# No Xvfb on PATH.
no_xvfb() {
    . "$root/scripts/wine-env.sh" "$work/a" win64 --no-start
    PATH=/nonexistent tm_wine_start_xvfb
}
expect "no Xvfb" "Xvfb is not installed.*setup-debian" no_xvfb

# A 32-bit loader that cannot run, as on a host without IA-32 support.
unrunnable_loader() {
    . "$root/scripts/wine-env.sh" "$work/b" win32 --no-start
    printf '#!/bin/sh\necho "cannot execute binary file: Exec format error" >&2\nexit 126\n' >"$work/wine"
    chmod +x "$work/wine"
    TM_WINE_LOADER="$work/wine"
    tm_wine_prepare_prefix
}
expect "32-bit loader cannot start" "does not start: .*Exec format error.*64-bit build" unrunnable_loader

# No loader installed at all.
no_loader() {
    . "$root/scripts/wine-env.sh" "$work/c" win64 --no-start
    TM_WINE_LOADER=""
    tm_wine cmd.exe
}
expect "no loader" "no win64 wine loader.*setup-debian" no_loader

bad_variable() {
    . "$root/scripts/win32-support.sh"
    TM_WIN32=maybe tm_win32_support
}
expect "TM_WIN32 misspelt" "TM_WIN32 must be yes, no or unset" bad_variable

[ "$failures" -eq 0 ] && echo "all messages as expected"
exit "$failures"
