#!/usr/bin/env bash
# Writes a few valid blobs and near-misses into the fuzz seed folder given as $1, with the blob
# writer of the reference check.
set -euo pipefail
mkdir -p "$1"
PYTHONDONTWRITEBYTECODE=1 PYTHONPATH="$(dirname "$0")/../reference" python3 - "$1" <<'PY'
import os, struct, sys
from check_identify import place, units, write_blob
out = sys.argv[1]
def blob(keys, slots):
    return write_blob(place([(tuple(units(k)), c) for k, c in keys], slots), 100)
seeds = {
    'small': blob([('a', 10), ('the', 3), ('中国', 2)], 7),
    'wide': blob([(chr(0xFF0C) + 'x', 5), ('ab', 1)], 11),
    'full': blob([('x', 1), ('y', 2)], 2),
    'long': blob([('hello', 4), ('ello', 3), ('llo', 2), ('world', 5), ('orld', 2), ('lowor', 1),
                  ('abcdef', 1), ('. he', 1), ('o', 9)], 23),
}
def zeros(n):
    return b'\xff\xff' * (n // 255) + (bytes([0xFF, n % 255]) if n % 255 else b'')
def claimed(slots):
    # One key in the first slot, every other slot empty: legal by size, since a zero run of 255
    # bytes packs into 2. The reader refuses a table this large before allocating it.
    data = b'\x01' + zeros(4 * slots - 1) + b'a' + zeros(2 * slots + 1)
    return b'LANG' + struct.pack('<iiiiI', slots, 1, 100, slots + 1, 6 * slots + 2) + data
# The fuzz run skips seeds longer than its -max_len; these two need a run of their own (or a larger
# -max_len). The cut one fits and keeps the huge header as a starting point for mutations.
seeds['huge-claim'] = claimed(30000000)
seeds['over-limit'] = claimed((1 << 20) + 1)
seeds['huge-claim-cut'] = seeds['huge-claim'][:4096]
for name, data in seeds.items():
    open(os.path.join(out, name), 'wb').write(data)
open(os.path.join(out, 'truncated'), 'wb').write(seeds['small'][:-3])
PY
