#!/usr/bin/env python3
"""Checks that the programs and libraries as shipped carry no debug
information, and that the debug information of each one is kept beside the
build in a file a debugger can match to it.

Usage: check_debug_split.py --objdump PATH --objcopy PATH --symbols DIR
                            [--dist DIR] [FILE...]

Every FILE, and every .exe and .dll in --dist, must have
  - no .debug_* (or .zdebug_*) section;
  - a .gnu_debuglink section naming a file in --symbols whose CRC-32 is the
    one recorded in the link, and which holds the .debug_info section.

Exits 1 if any check fails, 2 on bad usage.
"""

import argparse
import os
import struct
import subprocess
import sys
import tempfile
import zlib


def section_names(objdump, path):
    """The section names `objdump -h` lists for a file."""
    out = subprocess.run([objdump, "-h", path], check=True, capture_output=True,
                         text=True).stdout
    names = []
    for line in out.splitlines():
        fields = line.split()
        # "  3 .debug_info  0032eaf8  ..." : index, name, size, ...
        if len(fields) >= 3 and fields[0].isdigit():
            names.append(fields[1])
    return names


def debug_link(objcopy, path):
    """(name, crc) from the file's .gnu_debuglink section."""
    with tempfile.TemporaryDirectory() as tmp:
        dump = os.path.join(tmp, "link")
        subprocess.run([objcopy, "--dump-section", ".gnu_debuglink=" + dump, path,
                        os.path.join(tmp, "copy")], check=True, capture_output=True)
        with open(dump, "rb") as f:
            data = f.read()
    end = data.index(b"\0")
    name = data[:end].decode("utf-8")
    crc_at = (end + 1 + 3) & ~3  # the name is padded to four bytes
    (crc,) = struct.unpack_from("<I", data, crc_at)
    return name, crc


def check(args, path):
    problems = []
    names = section_names(args.objdump, path)
    debug = [n for n in names if n.startswith((".debug_", ".zdebug_"))]
    if debug:
        problems.append("carries debug sections: " + " ".join(debug))
    if ".gnu_debuglink" not in names:
        problems.append("has no link to its debug file (.gnu_debuglink)")
        return problems
    name, crc = debug_link(args.objcopy, path)
    debug_file = os.path.join(args.symbols, name)
    if not os.path.isfile(debug_file):
        problems.append("its debug file %s is missing" % debug_file)
        return problems
    with open(debug_file, "rb") as f:
        actual = zlib.crc32(f.read()) & 0xFFFFFFFF
    if actual != crc:
        problems.append("its debug file %s is another build's (CRC %08x, link says %08x)"
                        % (debug_file, actual, crc))
    if ".debug_info" not in section_names(args.objdump, debug_file):
        problems.append("its debug file %s holds no .debug_info" % debug_file)
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--objcopy", required=True)
    parser.add_argument("--symbols", required=True)
    parser.add_argument("--dist")
    parser.add_argument("files", nargs="*")
    args = parser.parse_args()

    files = [os.path.abspath(f) for f in args.files]
    if args.dist:
        for entry in sorted(os.listdir(args.dist)):
            if entry.lower().endswith((".exe", ".dll")):
                path = os.path.abspath(os.path.join(args.dist, entry))
                if path not in files:
                    files.append(path)
    if not files:
        print("check_debug_split: no program or library to check", file=sys.stderr)
        return 2

    failed = False
    for path in files:
        if not os.path.isfile(path):
            print("%s: missing" % path)
            failed = True
            continue
        problems = check(args, path)
        for problem in problems:
            print("%s %s" % (path, problem))
        if problems:
            failed = True
        else:
            print("%s: no debug sections; debug file found and matching" % path)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
