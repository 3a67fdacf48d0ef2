#!/usr/bin/env python3
"""Checks that a program loads at start only libraries Windows never takes
from the program's folder: the system's known libraries (always loaded from
the system folder) and the common controls, which the manifest binds to the
system's side-by-side copy. Anything else would be looked for beside the
program first, where a planted copy could run in the user's name.

Usage: check_imports.py --objdump OBJDUMP FILE...   (exit 1 on any other import)
"""
import argparse
import re
import subprocess
import sys

# The known libraries the program may import (a subset of the system's list).
KNOWN = {
    "advapi32.dll", "comdlg32.dll", "gdi32.dll", "imm32.dll", "kernel32.dll", "msvcrt.dll",
    "ntdll.dll", "ole32.dll", "oleaut32.dll", "rpcrt4.dll", "shell32.dll", "shlwapi.dll", "user32.dll",
}
SIDE_BY_SIDE = {"comctl32.dll"}


def imports(objdump, path):
    out = subprocess.run([objdump, "-p", path], capture_output=True, text=True, check=True).stdout
    return [m.group(1) for m in re.finditer(r"^\s*DLL Name: (\S+)", out, re.M)]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--objdump", required=True)
    parser.add_argument("files", nargs="+")
    args = parser.parse_args()
    faults = 0
    for path in args.files:
        names = imports(args.objdump, path)
        if not names:
            print(f"{path}: no imports found")
            faults += 1
            continue
        others = [n for n in names if n.lower() not in KNOWN | SIDE_BY_SIDE]
        if others:
            print(f"{path} imports libraries searched beside it first: {', '.join(others)}")
            faults += 1
        else:
            print(f"{path}: {len(names)} libraries, all from the system folder")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
