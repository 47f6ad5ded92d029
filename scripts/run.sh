#!/usr/bin/env bash
# Builds Tonguemeter.exe and starts it under wine (installing what it needs first, Debian 12).
# Without a display it starts a virtual one, identifies a sample text, saves a screenshot, prints
# its path and closes the program. Options as for scripts/run-windows.sh (--arch win32|win64, ...).
set -eEuo pipefail
trap 'echo "run.sh: failed at line $LINENO: $BASH_COMMAND" >&2' ERR
cd "$(dirname "$0")/.."
if ! scripts/setup-debian.sh; then
    echo "run.sh: setting up the machine failed (see above)" >&2
    exit 1
fi
exec scripts/run-windows.sh "$@"
