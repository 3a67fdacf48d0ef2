#!/usr/bin/env python3
"""Fails when an include points the wrong way between the source folders.

The arrows run one way: app -> ui -> settings, notify, whitelist, component
-> toolkit, with the portable library at the bottom. A subsystem reaches
another only through the shared names of component/Contract.h. The blocking
component, the browser bridge, the stand-in and the tools are programs of their own: they may use any
portable header, never the window. Portable sources (not *_win.cpp) never
include <windows.h>.

Usage: check_layers.py [ROOT]   (prints each wrong include; exit 1 if any)
"""
import pathlib
import re
import sys

SUBSYSTEMS = {"settings", "notify", "whitelist", "component"}
SHARED_NAMES = "component/Contract.h"
# Programs and libraries of their own inside component/: the blocking
# component, the browser bridge and the registration double.
PROGRAM_FOLDERS = {"olvrex", "host", "standin"}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
WINDOWS_HEADERS = {"windows.h", "shellapi.h", "mmsystem.h", "shlwapi.h", "commctrl.h", "ole2.h"}


def layer_of(path: pathlib.Path) -> str:
    parts = path.parts
    if parts[0] == "component" and len(parts) > 2 and parts[1] in PROGRAM_FOLDERS:
        return "program"
    if parts[0] == "tools":
        return "program"
    return parts[0]


def allowed(layer: str, target: str) -> bool:
    top = target.split("/", 1)[0] if "/" in target else None
    if top is None:
        return True  # same folder, by bare name
    if layer == "app":
        return True
    if layer == "ui":
        return top in {"ui", "toolkit", "resources"} | SUBSYSTEMS
    if layer in SUBSYSTEMS:
        return top in {layer, "toolkit"} or target == SHARED_NAMES
    if layer == "toolkit":
        return top == "toolkit"
    if layer == "resources":
        return top in {"resources", "toolkit"} or target == SHARED_NAMES
    if layer == "program":
        return top not in {"ui", "app"}
    return True  # tests and benchmarks may look at anything


def is_portable(path: pathlib.Path) -> bool:
    layer = layer_of(path)
    if layer not in SUBSYSTEMS | {"toolkit", "resources"}:
        return False
    return path.suffix == ".cpp" and not path.stem.endswith("_win")


def main() -> int:
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    faults = []
    checked = 0
    for folder in ["app", "ui", "toolkit", "resources", "tools"] + sorted(SUBSYSTEMS):
        for path in sorted((root / folder).rglob("*")):
            if path.suffix not in {".h", ".cpp"}:
                continue
            rel = path.relative_to(root)
            layer = layer_of(rel)
            checked += 1
            for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                kind, target = match.groups()
                if kind == '"' and not allowed(layer, target):
                    faults.append(f"{rel}:{number}: {layer} must not include \"{target}\"")
                if kind == "<" and is_portable(rel) and target.lower() in WINDOWS_HEADERS:
                    faults.append(f"{rel}:{number}: portable source includes <{target}>")
    for fault in faults:
        print(fault)
    print(f"check_layers: {checked} files, {len(faults)} wrong includes")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
