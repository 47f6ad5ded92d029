#!/usr/bin/env python3
"""Writes one release zip, the same bytes for the same inputs.

    make-zip.py OUT.zip FOLDER_IN_ZIP NAME=SOURCE...

Each NAME=SOURCE puts the file SOURCE into the zip as FOLDER_IN_ZIP/NAME. Text files (.txt, .md)
get Windows line ends, and .txt files a UTF-8 byte-order mark, so that every Windows editor shows
them right. Entries are stored in the order given, with one fixed date and fixed attributes, and
deflated at one fixed level: nothing of the machine, the clock or the file system reaches the zip.
The zip is written beside OUT.zip and renamed into place, so a failure never leaves half a zip.
"""
import os
import sys
import tempfile
import zipfile

FIXED_DATE = (2026, 1, 1, 0, 0, 0)   # the first release year; zip dates have no time zone
ARCHIVE = 0x20                         # the MS-DOS archive attribute of a plain file
DIRECTORY = 0x10


def entry(name, is_dir=False):
    info = zipfile.ZipInfo(name, FIXED_DATE)
    info.create_system = 0             # MS-DOS attributes, as Windows tools write them
    info.external_attr = DIRECTORY if is_dir else ARCHIVE
    info.compress_type = zipfile.ZIP_STORED if is_dir else zipfile.ZIP_DEFLATED
    return info


def contents(name, source):
    with open(source, "rb") as f:
        data = f.read()
    if name.endswith((".txt", ".md")):
        data = data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
        if name.endswith(".txt") and not data.startswith(b"\xef\xbb\xbf"):
            data = b"\xef\xbb\xbf" + data
    return data


def main(argv):
    if len(argv) < 4 or any("=" not in a for a in argv[3:]):
        sys.stderr.write(__doc__)
        return 2
    out, folder = argv[1], argv[2].strip("/")
    pairs = [a.split("=", 1) for a in argv[3:]]
    for _, source in pairs:
        if not os.path.isfile(source):
            sys.stderr.write(f"make-zip: {source} is missing; nothing was written\n")
            return 1
    fd, temp = tempfile.mkstemp(prefix=".partial-", suffix=".zip", dir=os.path.dirname(os.path.abspath(out)))
    os.close(fd)
    try:
        with zipfile.ZipFile(temp, "w") as z:
            z.writestr(entry(folder + "/", is_dir=True), b"")
            for name, source in pairs:
                z.writestr(entry(folder + "/" + name), contents(name, source), compresslevel=9)
        os.replace(temp, out)
    finally:
        if os.path.exists(temp):
            os.unlink(temp)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
