#!/usr/bin/env python3
"""Keeps the includes between folders pointing one way.

Layers, lowest first: the base folders; the cores (each folder's widget-free library);
the windows (the files of nuvtolvek_ui); app/. A file may include its own folder, the base,
cores of the folders written below for it, and, for a window, windows of the folders written
below for it. Nothing outside app/ includes app/. Tests, benchmarks and fuzz targets are free.
Across the layers, the folders themselves form no circle either: when any file of A includes
B, directly or through other folders, no file of B reaches A (a window of one folder including
a core of another whose window includes the first is such a circle).
Prints every include that breaks this and every circle, and exits 1.
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
    "recovery": {"player", "editor", "participants"},
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
    reaches = {}  # (folder, target) -> the first include that makes it
    for folder in sorted(folders):
        for path in sorted((root / folder).rglob("*")):
            rel = path.relative_to(root / folder)
            if not SOURCE.search(path.name) or rel.parts[0] == "tests":
                continue
            window = is_window(folder, path.name)
            for target, name in INCLUDE.findall(path.read_text(encoding="utf-8")):
                if target == folder or target not in folders:
                    continue
                reaches.setdefault((folder, target), f"{folder}/{rel} includes {target}/{name}")
                if folder == "app":
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
    faults += circles(reaches)
    for fault in faults:
        print(fault)
    return 1 if faults else 0


def circles(reaches):
    """One line per circle of folders: the folders in order and an include for each step.
    Each step A -> B that has a way back from B to A gives its shortest circle, once."""
    edges = {}
    for a, b in reaches:
        edges.setdefault(a, set()).add(b)

    def way(start, goal):
        back = {start: None}
        queue = [start]
        while queue:
            node = queue.pop(0)
            if node == goal:
                path = [node]
                while back[path[-1]] is not None:
                    path.append(back[path[-1]])
                return path[::-1]
            for nxt in sorted(edges.get(node, ())):
                if nxt not in back:
                    back[nxt] = node
                    queue.append(nxt)
        return None

    found, seen = [], set()
    for a, b in sorted(reaches):
        path = way(b, a)
        if path is None:
            continue
        circle = [a] + path[:-1]
        first = circle.index(min(circle))
        circle = circle[first:] + circle[:first]
        if tuple(circle) in seen:
            continue
        seen.add(tuple(circle))
        steps = "; ".join(reaches[step] for step in zip(circle, circle[1:] + circle[:1]))
        found.append(f"circle {' -> '.join(circle + circle[:1])}: {steps}")
    return found


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "."))
