#!/usr/bin/env python3
"""Checks release zips: Tonguemeter-<version>-<arch>.zip holds exactly the folder of that name with
Tonguemeter.exe, README.txt, LICENSE.txt and DATA-SOURCES.md, and the program is a Windows GUI program
for the zip's processor (i386 for win32, x86-64 for win64). Prints one line per zip; the exit status
is the number of zips that failed.

    check_zips.py ZIP...
"""
import re
import struct
import sys
import zipfile

MACHINES = {"win32": 0x14C, "win64": 0x8664}
GUI_SUBSYSTEM = 2
FILES = ["Tonguemeter.exe", "README.txt", "LICENSE.txt", "DATA-SOURCES.md"]


def check(path):
    name = re.search(r"(Tonguemeter-[^/]+-(win32|win64))\.zip$", path)
    if not name:
        return ["the name is not Tonguemeter-<version>-win32.zip or -win64.zip"]
    folder, machine = name.group(1), MACHINES[name.group(2)]
    with zipfile.ZipFile(path) as z:
        problems = [f"{bad} is damaged" for bad in [z.testzip()] if bad]
        expected = [folder + "/"] + [folder + "/" + f for f in FILES]
        if z.namelist() != expected:
            return problems + [f"holds {z.namelist()}, expected {expected}"]
        exe = z.read(folder + "/Tonguemeter.exe")
    pe = struct.unpack_from("<I", exe, 0x3C)[0]
    if exe[pe:pe + 4] != b"PE\0\0":
        return problems + ["the program has no PE signature"]
    exe_machine, subsystem = struct.unpack_from("<H", exe, pe + 4)[0], struct.unpack_from("<H", exe, pe + 24 + 68)[0]
    if exe_machine != machine:
        problems.append(f"the program's machine type is {exe_machine:#x}, expected {machine:#x}")
    if subsystem != GUI_SUBSYSTEM:
        problems.append(f"the program's subsystem is {subsystem}, expected the GUI ({GUI_SUBSYSTEM})")
    return problems


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    failures = 0
    for path in sys.argv[1:]:
        problems = check(path)
        print(("ok   " if not problems else "FAIL ") + path + "".join("\n     " + p for p in problems))
        failures += bool(problems)
    sys.exit(failures)
