#!/usr/bin/env python3
"""Keeps the includes between folders pointing one way.

Layers, lowest first: the base folders; the cores (each folder's widget-free library);
the windows (the files of nuvtolvek_ui); app/. A file may include its own folder, the base,
cores of the folders written below for it, and, for a window, windows of the folders written
below for it. Nothing outside app/ includes app/. Tests, benchmarks and fuzz targets are free.
Prints every include that breaks this and exits 1.
"""
import pathlib
import re
import sys

BASE = {"textfiles", "audio", "commands", "timecode"}

# Cores: which other folders' cores each may include.
CORE_REACH = {
    "player": set(),
    "editor": set(),
    "dictionary": set(),
    "participants": set(),
    "project": set(),
    "exchange": {"project"},
    "recognize": {"exchange"},
    "recovery": {"project"},
    "input": set(),
}

# Windows, in one order: each may reach the windows of the folders named for it.
WINDOW_REACH = {
    "participants": set(),
    "editor": set(),
    "player": set(),
    "dictionary": {"editor"},
    "input": set(),
    "project": {"player", "editor", "participants"},
    "recovery": {"player", "editor", "participants", "project"},
}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/([^"]+)"', re.M)
SOURCE = re.compile(r"\.(cpp|h)$")


def window_files(root, folder):
    """Base names of the folder's files built into nuvtolvek_ui."""
    lists = root / folder / "CMakeLists.txt"
    if not lists.exists():
        return set()
    text = lists.read_text(encoding="utf-8")
    names = set()
    for block in re.findall(r"target_sources\(\s*nuvtolvek_ui\s+PRIVATE([^)]*)\)", text):
        names |= {pathlib.PurePath(n).stem for n in block.split()}
    return names


def main(root):
    root = pathlib.Path(root)
    folders = set(CORE_REACH) | set(WINDOW_REACH) | BASE | {"app"}
    windows = {f: window_files(root, f) for f in folders}

    def is_window(folder, name):
        return pathlib.PurePath(name).stem in windows.get(folder, set())

    faults = []
    for folder in sorted(folders - {"app"}):
        for path in sorted((root / folder).rglob("*")):
            rel = path.relative_to(root / folder)
            if not SOURCE.search(path.name) or rel.parts[0] == "tests":
                continue
            window = is_window(folder, path.name)
            for target, name in INCLUDE.findall(path.read_text(encoding="utf-8")):
                if target == folder or target not in folders:
                    continue
                if folder in BASE:
                    ok = False
                elif target in BASE:
                    ok = True
                elif target == "app":
                    ok = False
                elif is_window(target, name):
                    ok = window and target in WINDOW_REACH.get(folder, set())
                else:
                    ok = window or target in CORE_REACH.get(folder, set())
                if not ok:
                    kind = "window" if window else "core"
                    faults.append(f"{folder}/{rel} ({kind}) includes {target}/{name}")
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "."))
