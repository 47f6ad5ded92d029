#!/usr/bin/env python3
"""Checks release zips: the file list, and that each program is what the zip's name says.

    check_zips.py ZIP...

A zip named Tonguemeter-<version>-<arch>.zip must hold exactly the folder Tonguemeter-<version>-<arch>
with Tonguemeter.exe, README.txt, LICENSE.txt and DATA-SOURCES.md; the program must be a Windows
GUI program for the zip's processor (i386 for win32, x86-64 for win64). (Its manifest is a resource
the window tests carry too and check there.) Prints one line per zip; the exit
status is the number of zips that failed.
"""
import re
import struct
import sys
import zipfile

MACHINES = {"win32": 0x14C, "win64": 0x8664}
GUI_SUBSYSTEM = 2
FILES = ["Tonguemeter.exe", "README.txt", "LICENSE.txt", "DATA-SOURCES.md"]


def machine_and_subsystem(data):
    """The machine type and subsystem of a PE image."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("no PE signature")
    return struct.unpack_from("<H", data, pe + 4)[0], struct.unpack_from("<H", data, pe + 24 + 68)[0]


def check(path):
    name = re.search(r"(Tonguemeter-[^/]+-(win32|win64))\.zip$", path)
    if not name:
        return ["the name is not Tonguemeter-<version>-win32.zip or -win64.zip"]
    folder, arch = name.group(1), name.group(2)
    machine = MACHINES[arch]
    problems = []
    with zipfile.ZipFile(path) as z:
        bad = z.testzip()
        if bad:
            problems.append(f"{bad} is damaged")
        listed = z.namelist()
        expected = [folder + "/"] + [folder + "/" + f for f in FILES]
        if listed != expected:
            problems.append(f"holds {listed}, expected {expected}")
            return problems
        exe_machine, subsystem = machine_and_subsystem(z.read(folder + "/Tonguemeter.exe"))
    if exe_machine != machine:
        problems.append(f"the program's machine type is {exe_machine:#x}, expected {machine:#x}")
    if subsystem != GUI_SUBSYSTEM:
        problems.append(f"the program's subsystem is {subsystem}, expected the GUI ({GUI_SUBSYSTEM})")
    return problems


def main(paths):
    failures = 0
    for path in paths:
        problems = check(path)
        print(("ok   " if not problems else "FAIL ") + path + "".join("\n     " + p for p in problems))
        failures += bool(problems)
    return failures


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1:]))
