#!/usr/bin/env bash
# The documented entry point; the script itself lives in scripts/.
exec bash "$(dirname "$0")/../scripts/test.sh" "$@"
