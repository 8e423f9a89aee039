#!/usr/bin/env python3
"""Fails when an include runs against the layers: engine <- ui <- window
folders <- app. Each top-level folder may include the folders its row names
(and itself); a table format under engine/formats may include the shared
formats code but not another format. Tests under tests/<folder> may include
what <folder> may, and the tests' own support code. A folder with sources
and no row fails too, so a new window folder must say what it stands on.

Usage: check-layers.py [SOURCE_DIR]"""
import os
import re
import sys

# folder: the folders it may include besides itself.
LAYERS = {
    "engine": [],
    "ui": ["engine"],
    "tables": ["engine", "ui"],
    "query": ["engine", "ui"],
    "create": ["engine", "ui", "tables"],
    "designers": ["engine", "ui", "query"],
    "config": ["engine", "ui"],
    "output": ["engine", "ui"],
    "editors": ["engine", "ui"],
    "app": ["engine", "ui", "tables", "query", "create", "designers", "config", "output", "editors"],
    "tools": ["engine"],
    "samples": ["engine"],
    "bench": ["engine", "ui", "output"],
    "fuzz": ["engine", "ui"],
}
# Folders of the tests that are no layer of their own.
TEST_SUPPORT = {"support", "helpers", "fixtures", "interop"}
SHARED_FORMATS = "common"
SOURCE = re.compile(r"\.(c|cc|cpp|h|hpp)$")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def top_folder(path):
    return path.split("/", 1)[0]


def resolve(root, including, target):
    """The include's path relative to root, as the compiler finds it: beside
    the including file first, then from the source root."""
    beside = os.path.normpath(os.path.join(os.path.dirname(including), target))
    if os.path.exists(os.path.join(root, beside)):
        return beside
    return os.path.normpath(target)


def check(root):
    faults = []
    for dirpath, dirnames, filenames in os.walk(root):
        rel_dir = os.path.relpath(dirpath, root)
        dirnames[:] = [d for d in dirnames if not d.startswith(".") and d != "build"]
        for name in filenames:
            if not SOURCE.search(name):
                continue
            rel = os.path.normpath(os.path.join(rel_dir, name))
            top = top_folder(rel)
            if top == rel or top == "CMakeFiles":
                continue
            layer, extra = top, set()
            if top == "tests":
                parts = rel.split("/")
                layer = parts[1] if len(parts) > 2 else None
                if layer in TEST_SUPPORT or layer is None:
                    layer = "ui"  # the shared test support stands on ui only
                extra = {"tests", "fuzz"}  # the fuzz targets' bodies, replayed
            if layer not in LAYERS:
                faults.append(f"{rel}: the folder {layer}/ has no row in scripts/check-layers.py")
                continue
            allowed = {layer, *LAYERS[layer], *extra}
            with open(os.path.join(root, rel), encoding="utf-8", errors="replace") as f:
                text = f.read()
            for target in INCLUDE.findall(text):
                path = resolve(root, rel, target)
                folder = top_folder(path)
                if folder not in LAYERS and folder != "tests":
                    continue  # a system or generated header
                if folder not in allowed:
                    faults.append(f'{rel}: includes "{target}", but {layer}/ may include only '
                                  f"{', '.join(sorted(allowed))}")
                # One table format knows nothing of another's internals.
                mine = rel.split("/")
                theirs = path.split("/")
                if (len(mine) > 3 and len(theirs) > 3 and mine[:2] == ["engine", "formats"]
                        and theirs[:2] == ["engine", "formats"] and mine[2] != theirs[2]
                        and theirs[2] != SHARED_FORMATS):
                    faults.append(f'{rel}: includes "{target}", another format\'s internals; '
                                  f"shared code goes in engine/formats/{SHARED_FORMATS}/")
    return faults


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    faults = check(os.path.abspath(root))
    for f in faults:
        print(f)
    print(f"layer check: {len(faults)} includes against the layers")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
