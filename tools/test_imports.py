#!/usr/bin/env python3
"""The shipped programs start on Windows 7 SP1: none of them imports a DLL or a function that the list
newer_than_windows7.txt names, and none asks for a newer system in its header. Windows checks both before
any of a program's code runs, so a single such import keeps it from starting at all, whatever the code does
at run time.

Usage: test_imports.py PROGRAM.exe...
"""

import fnmatch
import os
import re
import subprocess
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
DENYLIST = os.path.join(HERE, "newer_than_windows7.txt")
OBJDUMP = os.environ.get("OBJDUMP", "i686-w64-mingw32-objdump")
WINDOWS7 = (6, 1)  # the oldest system version a program's header may ask for
PROGRAMS = []


def read_denylist(path=DENYLIST):
    """(DLL name patterns, function names), both lowercase: Windows matches DLL names ignoring case."""
    dlls, functions = [], set()
    with open(path, encoding="utf-8") as listing:
        for line in listing:
            name = line.split("#", 1)[0].strip()
            if name:
                (dlls.append if name.lower().endswith(".dll") else functions.add)(name.lower())
    return dlls, functions


def read_headers(program):
    """({DLL name: [imported function names]}, {header field: number}) as objdump -p prints them: each DLL's
    table is its "DLL Name" line and the hint/name lines up to the next blank line."""
    dump = subprocess.run([OBJDUMP, "-p", program], capture_output=True, text=True, check=True).stdout
    fields = {name: int(value) for name, value in re.findall(r"^(Major\w+|Minor\w+)\s+(\d+)$", dump, re.M)}
    table = {}
    for dll, block in re.findall(r"^\s*DLL Name: (\S+)\n(.*?)(?:\n\s*\n|\Z)", dump, re.M | re.S):
        table.setdefault(dll, []).extend(re.findall(r"^\t[0-9a-f]+\s+\d+\s+(\S+)$", block, re.M))
    return table, fields


class ShippedProgramsStartOnWindows7(unittest.TestCase):
    def test_no_import_newer_than_windows7(self):
        self.assertTrue(PROGRAMS, "no program named on the command line")
        denied_dlls, denied_functions = read_denylist()
        for program in PROGRAMS:
            with self.subTest(program=os.path.basename(program)):
                table, fields = read_headers(program)
                for kind in ("OSystem", "Subsystem"):
                    version = (fields[f"Major{kind}Version"], fields[f"Minor{kind}Version"])
                    self.assertLessEqual(version, WINDOWS7, f"{program}: {kind} version {version}")
                # A table that could not be read would pass every check below.
                self.assertTrue(any(dll.lower() == "kernel32.dll" and functions for dll, functions in table.items()),
                                f"no kernel32 imports read from {program}: {sorted(table)}")
                found = [dll for dll in table if any(fnmatch.fnmatch(dll.lower(), p) for p in denied_dlls)]
                found += [f"{dll}!{function}" for dll, functions in table.items() for function in functions
                          if function.lower() in denied_functions]
                self.assertEqual(found, [], f"{program} imports what Windows 7 SP1 lacks")


if __name__ == "__main__":
    PROGRAMS.extend(sys.argv[1:])
    unittest.main(argv=sys.argv[:1], verbosity=2)
