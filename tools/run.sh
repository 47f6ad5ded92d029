#!/usr/bin/env bash
# Builds Tonguemeter.exe and starts it under wine (installing what it needs first, Debian 12).
# Without a display it starts a virtual one, identifies a sample text, saves a screenshot, prints
# its path and closes the program.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup-debian.sh
exec tools/run-windows.sh "$@"
