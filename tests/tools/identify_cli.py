#!/usr/bin/env python3
"""tm-identify's command line with the real profiles: answers streamed to a co-process, whole files,
and bad input, faulty profile folders and failing output (the exit status, the messages on standard
error and what still gets answered).

usage: identify_cli.py TM_IDENTIFY PROFILE_DIR
"""
import os
import re
import select
import subprocess
import sys
import tempfile
import time
from pathlib import Path

TEXT = b"The quick brown fox jumps over the lazy dog.\nDie Datei konnte nicht gespeichert werden.\n"

# (file name, bytes, --best answer) for file mode: each encoding it reads, line breaks inside.
FILES = [
    ("en", b"The quick brown fox jumps over the lazy dog.\r\nIt was not saved.\n", "ENGLISH"),
    ("de-bom", b"\xef\xbb\xbfDie Datei konnte nicht gespeichert werden.", "GERMAN"),
    ("fr-le", "\ufeffLe fichier n'a pas pu être enregistré.\n".encode("utf-16-le"), "FRENCH"),
    ("it-be", "\ufeffIl file non è stato salvato correttamente.".encode("utf-16-be"), "ITALIAN"),
]
JAPANESE = "これは日本語の文章です。".encode()


# (name, how the row's file is spoiled, the reason tm-identify must give). A missing row, a folder and
# one over the size limit: CatalogueTest; a header beyond the limits: NgramTableTest.
SPOILED = [
    ("DANISH", os.mkfifo, "not a regular file"),
    ("GERMAN", lambda p: os.symlink("/dev/zero", p), "not a regular file"),
    ("FRENCH", lambda p: os.symlink("/proc/self/mem", p), "unreadable"),
    ("ITALIAN", lambda p: os.symlink(os.path.basename(p), p), "unreadable"),  # a loop of links
    ("THAI", lambda p: Path(p).write_bytes(b"LANG" + bytes(30)), "rejected by the reader"),
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


def coprocess(tool, args, to_file):
    """Writes one line at a time and waits up to 30 s for its answer before writing the next, the
    answers going to a pipe or to a regular file. The problems found."""
    with tempfile.TemporaryFile() as sink:
        proc = subprocess.Popen([tool, "--best"] + args, stdin=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                stdout=sink if to_file else subprocess.PIPE)
        got = b""
        for n, line in enumerate(TEXT.splitlines(keepends=True) + [JAPANESE + b"\r\n"], 1):
            proc.stdin.write(line)
            proc.stdin.flush()
            deadline = time.monotonic() + 30
            while got.count(b"\n") < n and time.monotonic() < deadline:
                if to_file:
                    time.sleep(0.01)
                    sink.seek(0)
                    got = sink.read()
                elif select.select([proc.stdout], [], [], deadline - time.monotonic())[0]:
                    got += os.read(proc.stdout.fileno(), 4096) or b"(end of output)\n"
            if got.count(b"\n") < n:
                proc.kill()
                proc.wait()
                return [f"no answer to line {n} within 30 s, got {got!r}"]
        proc.stdin.close()
        problems = [] if proc.wait(timeout=30) == 0 else [f"exit {proc.returncode}"]
        if got != b"ENGLISH\nGERMAN\nJAPANESE\n":
            problems.append(f"answers {got!r}")
        return problems


def main():
    tool, profiles = sys.argv[1], os.path.abspath(sys.argv[2])
    failures = []

    def report(name, problems):
        print(("FAIL " if problems else "ok   ") + name + "".join("\n     " + p for p in problems))
        failures.extend([name] if problems else [])

    def check(name, got, rc, stderr_pattern, stdout=None, messages=1):
        """stdout: the number of answer lines, or the exact bytes."""
        code, out, err = got
        problems = []
        if code != rc:
            problems.append(f"exit {code}, expected {rc}")
        if not re.search(stderr_pattern, err, re.M):
            problems.append(f"stderr {err!r} does not match {stderr_pattern!r}")
        if err.count("\n") > messages:
            problems.append(f"more than {messages} message(s): {err!r}")
        lines = out.count(b"\n")
        if isinstance(stdout, int) and lines != stdout:
            problems.append(f"{lines} answer lines, expected {stdout}")
        if isinstance(stdout, bytes) and out != stdout:
            problems.append(f"answers {out!r}, expected {stdout!r}")
        report(name, problems)

    report("co-process through pipes, --line-buffered", coprocess(tool, ["--line-buffered"], to_file=False))
    report("co-process into a regular file", coprocess(tool, [], to_file=True))

    with tempfile.TemporaryDirectory() as tmp:
        paths = {name: os.path.join(tmp, name) for name, _, _ in FILES}
        for name, data, _ in FILES:
            Path(paths[name]).write_bytes(data)
        answers = b"".join(f"{paths[name]}\t{best}\n".encode() for name, _, best in FILES)
        got = run(tool, ["--best"] + list(paths.values()) + ["-"], JAPANESE)
        check("files in each encoding and -", got, 0, "^$", answers + b"-\tJAPANESE\n", messages=0)
        big = os.path.join(tmp, "big")
        Path(big).touch()
        os.truncate(big, 64 * 1024 * 1024 + 1)
        fifo = os.path.join(tmp, "fifo")
        os.mkfifo(fifo)  # no writer ever comes: opening it for reading would wait for ever
        bad = [os.path.join(tmp, "absent"), tmp, big, fifo]
        got = run(tool, ["--best", paths["en"]] + bad + ["--", paths["it-be"]])
        check("unreadable files among good ones", got, 1,
              r"\A.*cannot read .*absent: No such file.*\n.*cannot read .*: Is a directory\n"
              r".*cannot read .*big: too large \(over 64 MiB\)\n"
              r".*cannot read .*fifo: not a regular file\n\Z",
              f"{paths['en']}\tENGLISH\n{paths['it-be']}\tITALIAN\n".encode(), messages=4)

        # --sections: a line per run in file mode, the runs of a line on one line in line mode; offsets
        # in UTF-16 units, so the Japanese run's end counts one unit a character.
        mixed, empty = os.path.join(tmp, "mixed"), os.path.join(tmp, "empty")
        english = "The quick brown fox jumps over the lazy dog. It was not saved.\n"
        Path(mixed).write_bytes((english + JAPANESE.decode()).encode())
        Path(empty).write_bytes(b"")
        n, total = len(english), len(english) + len(JAPANESE.decode())
        got = run(tool, ["--sections", mixed, empty])
        check("--sections on files", got, 0, "^$", (f"{mixed}\t0\t{n}\tENGLISH\n{mixed}\t{n}\t{total}\tJAPANESE\n"
                                                   f"{empty}\t0\t0\tUNKNOWN\n").encode(), messages=0)
        got = run(tool, ["--sections"], english.replace("\n", "\\n").encode() + JAPANESE + b"\n\n12345\n")
        check("--sections on lines", got, 0, "^$",
              f"0\t{n}\tENGLISH\t{n}\t{total}\tJAPANESE\n0\t0\tUNKNOWN\n0\t5\tUNKNOWN\n".encode(), messages=0)

        # --jobs: the same bytes for any number of threads, lines and files, with a line and a file
        # long enough (over 100,000 units) to be found in chunks on several threads.
        long_text = (b"The committee will consider the proposal at its next meeting. " * 2000)
        batch = TEXT * 50 + long_text + b"\n" + JAPANESE + b"\n"
        long_file = os.path.join(tmp, "long")
        Path(long_file).write_bytes(long_text)
        file_args = list(paths.values()) + [long_file]
        for args, stdin in ((["--scores"], batch), (["--sections"], batch), (["--best"] + file_args, b"")):
            outputs = [run(tool, args + ["--jobs", str(n)], stdin) for n in (1, 2, 3, 8)]
            report("--jobs 1, 2, 3 and 8 answer alike: " + args[0],
                   [] if all(o == outputs[0] for o in outputs) and outputs[0][0] == 0
                   else [f"exit {[o[0] for o in outputs]}, answers differ" ])

        lines = b"Hello world\n"
        with open("/dev/full", "wb") as full:
            for n in (100, 1000):
                check(f"{n} answers to a full device", run(tool, [], lines * n, stdout=full),
                      1, r"^tm-identify: cannot write the answers: ")
        check("standard output closed", run(tool, [], close_stdout=True), 1,
              r"^tm-identify: cannot write the answers: ")
        fd = os.open(tmp, os.O_RDONLY)
        check("standard input a folder", run(tool, [], stdin_fd=fd), 1, r"^tm-identify: cannot read standard input", 0)
        os.close(fd)
        # (An empty folder: every row missing.)
        check("an empty profile folder", run(tool, ["--profiles", os.path.join(tmp)]), 1,
              r"^tm-identify: no profile loaded from .* \(all 42 missing\)$", 0)
        check("no such profile folder", run(tool, ["--profiles", os.path.join(tmp, "absent")]), 1,
              r"^tm-identify: cannot load profiles from .*absent: no such folder$", 0)
        check("a profile folder that is a file", run(tool, ["--profiles", paths["en"]]), 1,
              r"^tm-identify: cannot load profiles from .*en: not a folder$", 0)
        # A line over 64 MiB is answered as unidentifiable; the lines after it still are.
        long_line = b"Hello world\n" + b"a" * (64 * 1024 * 1024 + 1) + b"\r\nDie Datei konnte nicht gespeichert werden.\n"
        check("a line over 64 MiB", run(tool, ["--best"], long_line), 1,
              r"^tm-identify: line 2: too long \(over 64 MiB\), not identified$", b"ENGLISH\nUNKNOWN\nGERMAN\n")
        for args in (["--best", "--scores"], ["--scores", "--best"], ["--best", "--best"],
                     ["--profiles"], ["--profiles", ""], ["--profiles", profiles, "--profiles", profiles], ["--fast"],
                     ["--line-buffered", "--line-buffered"], [paths["en"], "--fast"],
                     ["--sections", "--best"], ["--scores", "--sections"], ["--jobs", "0"],
                     ["--jobs", "65"], ["--jobs", "2x"], ["--jobs"], ["--jobs", "2", "--jobs", "2"]):
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
