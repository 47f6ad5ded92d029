#!/usr/bin/env bash
# Runs a Windows program under wine at another DPI: LogPixels of the desktop settings, which wine
# reads when a program starts, set for the run and removed after it; TM_EXPECT_DPI names it.
#
#     tests/win/at-dpi.sh DPI WINE_LOADER PROGRAM [ARGUMENT...]
dpi=$1 wine=$2
shift 2
key='HKCU\Control Panel\Desktop'
"$wine" reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null || exit 1
TM_EXPECT_DPI=$dpi "$wine" "$@"
status=$?
"$wine" reg delete "$key" /v LogPixels /f >/dev/null
exit "$status"
