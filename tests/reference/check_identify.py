#!/usr/bin/env python3
"""Differential check of tm-identify against an independent implementation written here.

Random profiles (random keys, counts, totals and slot counts, placed by linear probing) and random
texts (line breaks, sentence marks, runs of spaces, escapes, CJK, surrogate pairs, invalid UTF-8)
are scored by both, line by line from standard input and as whole files (UTF-8 with or without a
BOM, UTF-16 LE and BE); the --scores output must agree byte for byte, and so must --best.

usage: check_identify.py TM_IDENTIFY [--seed N] [--rounds N]
"""
import argparse
import os
import random
import re
import struct
import subprocess
import sys
import tempfile

WEIGHTS = [0.0, 7.0, 8.0, 4.0, 30.0, 40.0]
NAMES = [("アフリカーンス語 (Afrikaans)", "AFRIKAANS"), ("アルバニア語 (Albanian)", "ALBANIAN"),
         ("アラビア語 (Arabic)", "ARABIC"), ("ブルガリア語 (Bulgarian)", "BULGARIAN"),
         ("カタルーニャ語 (Catalan)", "CATALAN"), ("中国語(簡体字) (Chinese)", "CHINESE_SIMPLIFIED"),
         ("中国語(繁体字) (Chinese)", "CHINESE_TRADITIONAL"), ("チェコ語 (Czech)", "CZECH"),
         ("デンマーク語 (Danish)", "DANISH"), ("オランダ語 (Dutch)", "DUTCH"),
         ("英語 (English)", "ENGLISH")]


def units(s):
    b = s.encode("utf-16-le", "surrogatepass")
    return [b[i] | b[i + 1] << 8 for i in range(0, len(b), 2)]


def hash_ngram(key):
    h = (30 * key[0]) & 0xFFFFFFFF
    for c in key:
        h ^= ((h << 5) + (h >> 3) + c) & 0xFFFFFFFF
    return h


def pack(data):
    """The zero-run packing: 0xFF escaped as FF 00, a run of 2 to 255 zeros as FF n."""
    out = bytearray()
    for run in re.findall(rb"\x00{1,255}|[^\x00]", data):
        if run[0]:
            out += b"\xff\x00" if run == b"\xff" else run
        else:
            out += run if len(run) == 1 else bytes([0xFF, len(run)])
    return bytes(out)


def place(keys, slots):
    """The (key, count) pairs, keys as tuples of units, placed by linear probing in `slots` slots."""
    table = [None] * slots
    for key, count in keys:
        i = hash_ngram(key) % slots
        while table[i] is not None:
            i = (i + 1) % slots
        table[i] = (key, count)
    return table


def write_blob(table, total):
    counts = b"".join(struct.pack("<i", t[1] if t else 0) for t in table)
    area = b"".join((b"".join(struct.pack("<H", u) for u in t[0]) if t else b"") + b"\0\0" for t in table)
    data = counts + area
    header = struct.pack("<iiiiI", len(table), sum(t is not None for t in table), total, len(area) // 2, len(data))
    return b"LANG" + header + pack(data)


def make_profile(rng, alphabet):
    """The blob, and the keys with their counts and the total it holds. Every key is placed where a
    probe from its start slot finds it, so the reference looks keys up by value."""
    keys = {}
    for _ in range(rng.randint(1, 60)):
        key = tuple(rng.choice(alphabet) for _ in range(rng.randint(1, 5)))
        keys[key] = rng.randint(1, 5000)
    total = rng.randint(1, 100000)
    return write_blob(place(keys.items(), rng.randint(len(keys) + 1, 3 * len(keys) + 5)), total), keys, total


def normalise(text):
    out, prev = [0x2E, 0x20], 0x20
    for c in text:
        c = {0x0A: 0x20, 0x0D: 0x20, 0x21: 0x2E, 0x3F: 0x2E}.get(c, c)
        if c not in (0x20, 0x2E) or c != prev:  # a run of one separator collapses
            out.append(c)
            prev = c
    return out


def identify(profiles, text):
    if not text or not profiles:
        return None
    norm = normalise(text)
    d = float(len(norm))
    results = []
    for name, (keys, total) in profiles:
        s = 0.0
        for p in range(len(norm)):
            for n in ([1] if p < 5 else [5, 4, 3, 2, 1]):
                c = keys.get(tuple(norm[p - n + 1:p + 1]))
                if c is not None:
                    s = s + (float(c) / float(total) + WEIGHTS[n])
        results.append([name, s / d])
    results.sort(key=lambda r: r[1], reverse=True)  # stable: ties keep the load order
    m = max(r[1] for r in results)
    if m > 0:
        for r in results:
            r[1] = r[1] / m
    return results


def verdict(results):
    if results is None:
        return False, "判定不能"
    s = lambda k: results[k][1] if k < len(results) else 0.0
    top = s(0)
    if not any(top - s(k) >= 0.01 for k in (1, 2, 3)):
        return False, "判定不能"
    pct = lambda v: int(v * 100.0 + 0.5)
    text = results[0][0]
    if top - s(1) <= 0.1:
        text += "[%d]" % pct(top)
    i = 1
    while i < len(results) and top - s(i) <= 0.1:
        text += " か %s[%d]" % (results[i][0], pct(s(i)))
        if len(units(text)) > 224:
            break
        i += 1
    return True, text


def decode_line(raw):
    escapes = {b"n": b"\n", b"r": b"\r", b"t": b"\t", b"\\": b"\\"}
    raw = re.sub(rb"\\([nrt\\])", lambda m: escapes[m.group(1)], raw.split(b"\0", 1)[0])
    return units(raw.decode("utf-8", "replace"))


def random_text(rng, alphabet):
    pieces = []
    for _ in range(rng.randint(0, 40)):
        r = rng.random()
        if r < 0.55:
            c = rng.choice(alphabet)
            pieces.append("\U0001F600" if 0xD800 <= c <= 0xDFFF else chr(c))
        elif r < 0.65:
            pieces.append(rng.choice([" ", "  ", "\\n", "\\r\\n", "\\t", "\\\\", "\\q", "\\"]))
        elif r < 0.75:
            pieces.append(rng.choice([".", "!", "?", "!?", "...", ". .", "。", "！"]))
        elif r < 0.85:
            pieces.append(rng.choice(["中国", "日本語", "😀", "\U00020000", "é", "Ж"]))
        else:
            pieces.append(rng.choice(["the", "abc", "ab", " abcd", "de"]))
    text = "".join(pieces).encode("utf-8")
    if rng.random() < 0.1:
        text += rng.choice([b"\xff", b"\xe4\xb8", b"\xed\xa0\x80", b"\xc0\xaf", b"\xf4\x90\x80\x80"])
    if rng.random() < 0.03:
        text += b"\0tail"
    if rng.random() < 0.1:
        text += b"\r"
    return text


def answers(profiles, text):
    """The --scores and the --best answer for a text of UTF-16 units."""
    results = identify([(d, p) for d, p, _ in profiles], text)
    named, line = verdict(results)
    if results is not None:
        line += "".join("\t%s=%.17g" % (n, s) for n, s in results)
    best = next(r for d, _, r in profiles if d == results[0][0]) if named else "UNKNOWN"
    return line, best


def random_file(rng, alphabet, lines):
    """Bytes of a whole file and the units tm-identify must take from it: UTF-8 (maybe a BOM; no
    escapes, line breaks kept) or UTF-16 LE/BE with its BOM (lone surrogates, maybe an odd last
    byte); a NUL ends the text."""
    kind = rng.choice(["utf-8", "bom", "le", "be"])
    if kind in ("utf-8", "bom"):
        body = b"\r\n".join(lines)
        text = units(body.split(b"\0", 1)[0].decode("utf-8", "replace"))
        return (b"\xef\xbb\xbf" if kind == "bom" else b"") + body, text
    text = [rng.choice(alphabet + [0x0A, 0x0D, 0xD800, 0xDFFF]) for _ in range(rng.randint(0, 150))]
    if rng.random() < 0.1:
        text.insert(rng.randint(0, len(text)), 0)
    data = struct.pack("%s%dH" % ("<" if kind == "le" else ">", len(text) + 1), 0xFEFF, *text)
    if rng.random() < 0.3:
        data += b"\x41"
        text.append(0xFFFD)
    return data, text[:text.index(0)] if 0 in text else text


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("tm_identify")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--rounds", type=int, default=40)
    args = ap.parse_args()
    rng = random.Random(args.seed)
    failures = 0
    for round_ in range(args.rounds):
        alphabet = units("abcde .") + [0x4E2D, 0x56FD, 0x65E5, 0xD83D, 0xDE00, 0x00E9, 0x3002]
        with tempfile.TemporaryDirectory() as folder:
            profiles = []
            for display, resource in NAMES[:rng.randint(1, len(NAMES))]:
                if rng.random() < 0.1 and resource != NAMES[0][1]:
                    continue  # a missing file is skipped like a language that failed to load
                blob, keys, total = make_profile(rng, alphabet)
                open(os.path.join(folder, resource + ".bin"), "wb").write(blob)
                profiles.append((display, (keys, total), resource))
            lines = [random_text(rng, alphabet) for _ in range(30)]
            data = b"\n".join(lines) + (b"\n" if rng.random() < 0.5 else b"")
            if round_ % 5 == 0:
                data = b"\xef\xbb\xbf" + data
            # A CR before a line's LF is no part of it; a last line without LF keeps its CR.
            *ended, tail = (data[3:] if data.startswith(b"\xef\xbb\xbf") else data).split(b"\n")
            raw_lines = [raw[:-1] if raw.endswith(b"\r") else raw for raw in ended] + ([tail] if tail else [])
            scores, best = map(list, zip(*(answers(profiles, decode_line(raw)) for raw in raw_lines)))
            # Whole files, each one text, answered as "path<TAB>answer" (--scores, which holds
            # everything --best is made of).
            files, expected_files = [], []
            for k in range(2):
                path = os.path.join(folder, "text%d" % k)
                file_data, text = random_file(rng, alphabet, rng.sample(lines, 3))
                open(path, "wb").write(file_data)
                files.append(path)
                expected_files.append(path + "\t" + answers(profiles, text)[0])
            failed = False
            # The answers are the same whatever the number of threads.
            jobs = ["--jobs", str((1, 2, 3, 5)[round_ % 4])]
            for mode, arguments, stdin, expected_lines in (
                    ("--scores", [], data, scores), ("--best", [], data, best), ("--scores", files, b"", expected_files)):
                got = subprocess.run([args.tm_identify, "--profiles", folder, mode] + jobs + arguments,
                                     input=stdin, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                     check=True).stdout.decode("utf-8").split("\n")[:-1]
                if got != expected_lines:
                    failed = True
                    diff = next(((e, g) for g, e in zip(got, expected_lines) if g != e), None)
                    print(f"round {round_} {mode}: " + (f"\n  expected: {diff[0]!r}\n  got:      {diff[1]!r}" if diff
                                                        else f"{len(got)} lines, expected {len(expected_lines)}"))
            failures += failed
    print("%d passed, %d failed" % (args.rounds - failures, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
