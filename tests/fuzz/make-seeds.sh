#!/usr/bin/env bash
# Writes a few valid blobs and near-misses into the fuzz seed folder given as $1.
set -euo pipefail
out=$1
mkdir -p "$out"
python3 - "$out" <<'PY'
import struct, sys, os
out = sys.argv[1]
def h(key):
    x = (30 * ord(key[0])) & 0xFFFFFFFF
    for c in key:
        x ^= ((x << 5) + (x >> 3) + ord(c)) & 0xFFFFFFFF
    return x
def pack(data):
    o = bytearray(); i = 0
    while i < len(data):
        b = data[i]
        if b == 0xFF: o += b'\xff\x00'; i += 1
        elif b: o.append(b); i += 1
        else:
            r = 0
            while i + r < len(data) and data[i + r] == 0: r += 1
            i += r
            if r == 1: o.append(0); continue
            while r: p = min(r, 255); o += bytes([0xFF, p]); r -= p
    return bytes(o)
def blob(keys, slots, total=100):
    table = [None] * slots
    for k, c in keys:
        i = h(k) % slots
        while table[i]: i = (i + 1) % slots
        table[i] = (k, c)
    counts = b''.join(struct.pack('<i', t[1] if t else 0) for t in table)
    area = b''.join((t[0].encode('utf-16-le') if t else b'') + b'\0\0' for t in table)
    data = counts + area
    return b'LANG' + struct.pack('<iiiiI', slots, len(keys), total, len(area) // 2, len(data)) + pack(data)
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
