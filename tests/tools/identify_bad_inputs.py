#!/usr/bin/env python3
"""tm-identify with bad input, faulty profile folders and failing output: the exit status, the
messages on standard error and what still gets answered.

usage: identify_bad_inputs.py TM_IDENTIFY PROFILE_DIR
"""
import os
import re
import subprocess
import sys
import tempfile

TEXT = b"The quick brown fox jumps over the lazy dog.\nDie Datei konnte nicht gespeichert werden.\n"


def claimed_table(slots):
    """A blob of one key whose header claims `slots` slots: legal by size, since a zero run of 255
    bytes packs into 2."""
    def zeros(n):
        return b"\xff\xff" * (n // 255) + (bytes([0xFF, n % 255]) if n % 255 else b"")
    head = b"LANG" + b"".join(v.to_bytes(4, "little") for v in (slots, 1, 100, slots + 1, 6 * slots + 2))
    return head + b"\x01" + zeros(4 * slots - 1) + b"a" + zeros(2 * slots + 1)


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def sized(path, size):
    with open(path, "wb") as f:
        f.truncate(size)


# (name, how the row's file is spoiled, the reason tm-identify must give)
SPOILED = [
    ("IRISH", lambda p: None, "missing"),
    ("ENGLISH", os.mkdir, "not a regular file"),
    ("DANISH", os.mkfifo, "not a regular file"),
    ("GERMAN", lambda p: os.symlink("/dev/zero", p), "not a regular file"),
    ("FRENCH", lambda p: os.symlink("/proc/self/mem", p), "unreadable"),
    ("LATIN", lambda p: sized(p, 16 * 1024 * 1024 + 1), "too large"),
    ("THAI", lambda p: write(p, b"LANG" + bytes(30)), "rejected by the reader"),
    ("WELSH", lambda p: write(p, claimed_table(30000000)), "rejected by the reader"),
]

USAGE = r"^usage: tm-identify"


def run(tool, args, stdin=TEXT, stdout=subprocess.PIPE, close_stdout=False, stdin_fd=None):
    """Exit status, standard output and standard error; a run that hangs counts as status None."""
    try:
        proc = subprocess.run([tool] + args, input=None if stdin_fd is not None else stdin,
                              stdin=stdin_fd, stdout=stdout, stderr=subprocess.PIPE, timeout=30,
                              preexec_fn=(lambda: os.close(1)) if close_stdout else None)
    except subprocess.TimeoutExpired:
        return None, b"", "(no answer within 30 s)"
    return proc.returncode, proc.stdout or b"", proc.stderr.decode("utf-8", "replace")


def main():
    tool, profiles = sys.argv[1], os.path.abspath(sys.argv[2])
    failures = []

    def check(name, got, rc, stderr_pattern, stdout_lines=None):
        code, out, err = got
        problems = []
        if code != rc:
            problems.append(f"exit {code}, expected {rc}")
        if not re.search(stderr_pattern, err, re.M):
            problems.append(f"stderr {err!r} does not match {stderr_pattern!r}")
        if err.count("\n") > 1:
            problems.append(f"more than one message: {err!r}")
        answers = out.count(b"\n")
        if stdout_lines is not None and answers != stdout_lines:
            problems.append(f"{answers} answer lines, expected {stdout_lines}")
        print(("FAIL " if problems else "ok   ") + name)
        for p in problems:
            print("     " + p)
        if problems:
            failures.append(name)

    with tempfile.TemporaryDirectory() as tmp:
        empty = os.path.join(tmp, "empty")
        os.mkdir(empty)
        lines = b"Hello world\n"
        with open("/dev/full", "wb") as full:
            for n in (100, 1000):
                check(f"{n} answers to a full device", run(tool, [], lines * n, stdout=full),
                      1, r"^tm-identify: cannot write the answers: ")
        check("standard output closed", run(tool, [], close_stdout=True), 1,
              r"^tm-identify: cannot write the answers: ")
        fd = os.open(tmp, os.O_RDONLY)
        try:
            check("standard input a folder", run(tool, [], stdin_fd=fd), 1,
                  r"^tm-identify: cannot read standard input: ", 0)
        finally:
            os.close(fd)
        check("no such profile folder", run(tool, ["--profiles", os.path.join(tmp, "absent")]), 1,
              r"^tm-identify: no profile loaded from .*absent \(all 42 missing\)$", 0)
        check("an empty profile folder", run(tool, ["--profiles", empty]), 1,
              r"^tm-identify: no profile loaded from .*empty \(all 42 missing\)$", 0)
        for args in (["--best", "--scores"], ["--scores", "--best"], ["--best", "--best"],
                     ["--profiles"], ["--profiles", profiles, "--profiles", profiles], ["--fast"]):
            check("usage: " + " ".join(args), run(tool, args), 2, USAGE, 0)

        # One spoiled row at a time: the other 41 answer and the exit status is 0.
        for name, spoil, reason in SPOILED:
            folder = os.path.join(tmp, name)
            os.mkdir(folder)
            for blob in os.listdir(profiles):
                if blob.endswith(".bin") and blob != name + ".bin":
                    os.symlink(os.path.join(profiles, blob), os.path.join(folder, blob))
            spoil(os.path.join(folder, name + ".bin"))
            got = run(tool, ["--profiles", folder, "--best"])
            check(f"{name}: {reason}", got, 0,
                  rf"^tm-identify: not loaded from .*{name}: {re.escape(reason)}: {name}$", 2)
            if name.encode() in got[1]:
                failures.append(name + " answered")

    print(f"{len(failures)} of the cases failed" if failures else "all cases passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
