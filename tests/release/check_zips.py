#!/usr/bin/env python3
"""Checks release zips: the file list, and that each program is what the zip's name says.

    check_zips.py ZIP...

A zip named Tonguemeter-<version>-<arch>.zip must hold exactly the folder Tonguemeter-<version>-<arch>
with Tonguemeter.exe, README.txt, LICENSE.txt and DATA-SOURCES.md; the program must be a Windows
GUI program for the zip's processor (i386 for win32, x86-64 for win64) whose embedded manifest asks
for that same architecture for itself and for common controls 6. Prints one line per zip; the exit
status is the number of zips that failed.
"""
import re
import struct
import sys
import zipfile

MACHINES = {"win32": (0x14C, "x86"), "win64": (0x8664, "amd64")}
GUI_SUBSYSTEM = 2
RT_MANIFEST = 24
FILES = ["Tonguemeter.exe", "README.txt", "LICENSE.txt", "DATA-SOURCES.md"]


class Pe:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, sections = struct.unpack_from("<HH", data, pe + 4)
        optional_size = struct.unpack_from("<H", data, pe + 20)[0]
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        self.subsystem = struct.unpack_from("<H", data, optional + 68)[0]
        directories = optional + (96 if magic == 0x10B else 112)
        self.resource_rva = struct.unpack_from("<I", data, directories + 8 * 2)[0]
        table = optional + optional_size
        self.sections = [struct.unpack_from("<IIII", data, table + 40 * i + 8) for i in range(sections)]

    def offset(self, rva):
        for size, address, raw_size, raw in self.sections:
            if address <= rva < address + max(size, raw_size):
                return raw + rva - address
        raise ValueError("address outside every section")

    def resource(self, type_id, name_id):
        """The bytes of the first language of resource (type_id, name_id), or None."""
        base = self.offset(self.resource_rva)

        def find(directory, wanted):
            named, ids = struct.unpack_from("<HH", self.data, directory + 12)
            for i in range(named + ids):
                key, target = struct.unpack_from("<II", self.data, directory + 16 + 8 * i)
                if wanted is None or key == wanted:
                    return target
            return None

        level = base
        for wanted in (type_id, name_id, None):
            target = find(level, wanted)
            if target is None:
                return None
            level = base + (target & 0x7FFFFFFF)
        rva, size = struct.unpack_from("<II", self.data, level)
        start = self.offset(rva)
        return self.data[start:start + size]


def check(path):
    name = re.search(r"(Tonguemeter-[^/]+-(win32|win64))\.zip$", path)
    if not name:
        return ["the name is not Tonguemeter-<version>-win32.zip or -win64.zip"]
    folder, arch = name.group(1), name.group(2)
    machine, manifest_arch = MACHINES[arch]
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
        exe = Pe(z.read(folder + "/Tonguemeter.exe"))
    if exe.machine != machine:
        problems.append(f"the program's machine type is {exe.machine:#x}, expected {machine:#x}")
    if exe.subsystem != GUI_SUBSYSTEM:
        problems.append(f"the program's subsystem is {exe.subsystem}, expected the GUI ({GUI_SUBSYSTEM})")
    manifest = exe.resource(RT_MANIFEST, 1)
    if manifest is None:
        problems.append("the program has no manifest")
    else:
        archs = re.findall(rb'processorArchitecture="([^"]*)"', manifest)
        if archs != [manifest_arch.encode()] * 2 or b"Microsoft.Windows.Common-Controls" not in manifest:
            problems.append(f"the manifest names {archs}, expected {manifest_arch} for the program and common controls 6")
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
