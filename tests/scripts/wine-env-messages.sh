#!/usr/bin/env bash
# The Windows stages say what failed and what to do: each case calls one stage of scripts/wine-env.sh
# directly, with what it needs taken away, and checks the status and the message.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# expect NAME PATTERN SCRIPT: the script, run by bash in $work with $root set, fails and its standard
# error matches the pattern.
expect() {
    local err rc=0
    err=$(cd "$work" && root=$root bash -c "$3" 2>&1 >/dev/null) || rc=$?
    if [ "$rc" -eq 0 ] || ! grep -qE "$2" <<<"$err"; then
        echo "FAIL $1: status $rc, message: ${err:-none}"
        failures=$((failures + 1))
    else
        echo "ok   $1: $err"
    fi
}

expect "no Xvfb" "Xvfb is not installed.*setup-debian" \
    '. "$root/scripts/wine-env.sh" a win64 --no-start; PATH=/nonexistent tm_wine_start_xvfb'
# A 32-bit loader that cannot run, as on a host without IA-32 support.
expect "32-bit loader cannot start" "does not start: .*Exec format error.*64-bit build" \
    '. "$root/scripts/wine-env.sh" b win32 --no-start
     printf "#!/bin/sh\necho \"cannot execute binary file: Exec format error\" >&2\nexit 126\n" >wine
     chmod +x wine; TM_WINE_LOADER=$PWD/wine tm_wine_prepare_prefix'
expect "no loader" "no win64 wine loader.*setup-debian" \
    '. "$root/scripts/wine-env.sh" c win64 --no-start; TM_WINE_LOADER="" tm_wine cmd.exe'
expect "TM_WIN32 misspelt" "TM_WIN32 must be yes, no or unset" \
    '. "$root/scripts/win32-support.sh"; TM_WIN32=maybe tm_win32_support'

[ "$failures" -eq 0 ] && echo "all messages as expected"
exit "$failures"
