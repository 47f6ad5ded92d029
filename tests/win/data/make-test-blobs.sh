#!/usr/bin/env bash
# Writes the profile blobs that the Windows-side loader tests embed as resources, with the reference
# check's blob writer: a small profile, the same with a wrong magic, and an empty file.
set -euo pipefail
cd "$(dirname "$0")"
PYTHONDONTWRITEBYTECODE=1 PYTHONPATH=../../reference python3 - <<'PY'
from check_identify import place, units, write_blob
keys = [("a", 10), ("b", 5), ("ab", 3), (". ", 7), (" ", 12)]
small = write_blob(place([(tuple(units(k)), c) for k, c in keys], 11), 100)
open("small.bin", "wb").write(small)
open("bad-magic.bin", "wb").write(small[:3] + b"X" + small[4:])
open("empty.bin", "wb").write(b"")
PY
