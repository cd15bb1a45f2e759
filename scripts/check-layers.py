#!/usr/bin/env python3
"""Prints which folder of src/ includes which, and fails when an include points
up the layers, when two folders include each other, or when a core file of the
stub's folders (one without the win_ prefix) includes <windows.h>.

The layers, bottom first; a folder may include its own files and those of
lower layers only:
  common          format, bytes, time, DBCS, run state, configuration block
  archive, paths, legacy
                  the engine; path helpers, name rules, folder macros, auto-run;
                  the packer's decoders of the older methods (no <windows.h>)
  ui              the dialogs that ask, resources
  app, pack       the stub's workflow; the packer
"""
import collections
import os
import re
import sys

LAYERS = [["common"], ["archive", "paths", "legacy"], ["ui"], ["app", "pack"]]
STUB_FOLDERS = {"common", "archive", "paths", "ui", "app"}
# Portable through and through: no file of these talks to Windows.
PORTABLE_FOLDERS = {"legacy"}

rank = {folder: level for level, folders in enumerate(LAYERS) for folder in folders}
src = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src")
include = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]')

edges = collections.Counter()
problems = []
for folder in sorted(os.listdir(src)):
    path = os.path.join(src, folder)
    if not os.path.isdir(path):
        continue
    if folder not in rank:
        problems.append(f"src/{folder}: a folder outside the layers; add it to {__file__}")
        continue
    for name in sorted(os.listdir(path)):
        if not name.endswith((".h", ".cpp")):
            continue
        with open(os.path.join(path, name), encoding="utf-8") as f:
            for number, line in enumerate(f, 1):
                m = include.match(line)
                if not m:
                    continue
                where = f"src/{folder}/{name}:{number}"
                if m.group(1) == "<":
                    if m.group(2).lower() == "windows.h" and folder in PORTABLE_FOLDERS:
                        problems.append(f"{where}: src/{folder} includes <windows.h>, "
                                        "which none of its files may")
                    elif (m.group(2).lower() == "windows.h" and folder in STUB_FOLDERS
                            and not name.startswith("win_")):
                        problems.append(f"{where}: a core file includes <windows.h>; "
                                        "Windows code lives in win_ files")
                    continue
                target = m.group(2).split("/")[0] if "/" in m.group(2) else folder
                if target == folder:
                    continue
                edges[(folder, target)] += 1
                if target not in rank:
                    problems.append(f"{where}: includes {m.group(2)}, outside the layers")
                elif rank[target] >= rank[folder]:
                    problems.append(f"{where}: {folder} includes {m.group(2)}, "
                                    "which is not below it")

print("folder graph of src/ (includes per edge):")
for folder in sorted(rank, key=lambda f: (rank[f], f)):
    targets = sorted((t for (f, t) in edges if f == folder), key=lambda t: (rank.get(t, 99), t))
    shown = ", ".join(f"{t} ({edges[(folder, t)]})" for t in targets) or "-"
    print(f"  {folder:8} -> {shown}")
for a, b in sorted(edges):
    if a < b and (b, a) in edges:
        problems.append(f"{a} and {b} include each other")

if problems:
    print("\n".join(problems), file=sys.stderr)
    sys.exit(1)
print("layers: every include points down")
