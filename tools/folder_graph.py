#!/usr/bin/env python3
"""Prints the include graph between the folders under src/ and fails when it
has a cycle, or when a quillnet_core folder includes a widget folder.

A folder is a path under src/ up to its first file: src/vpn, src/ui/login.
"""
import re
import sys
from pathlib import Path

src = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "src")
include = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)

edges = {}
for path in src.rglob("*"):
    if path.suffix not in (".h", ".cpp"):
        continue
    here = str(path.parent.relative_to(src))
    for target in include.findall(path.read_text()):
        there = str(Path(target).parent)
        if there in (".", here) or not (src / there).is_dir():
            continue
        edges.setdefault(here, set()).add(there)

failures = []
for folder in sorted(edges):
    print(f"{folder} -> {', '.join(sorted(edges[folder]))}")
    if not folder.startswith(("ui", "app")):
        widgets = [t for t in edges[folder] if t.startswith(("ui", "app"))]
        if widgets:
            failures.append(f"{folder} is without widgets but includes {', '.join(widgets)}")


def cycle_from(start):
    stack = [(start, [start])]
    while stack:
        node, trail = stack.pop()
        for nxt in edges.get(node, ()):
            if nxt == start:
                return trail + [start]
            if nxt not in trail:
                stack.append((nxt, trail + [nxt]))
    return None


seen = set()
for folder in sorted(edges):
    found = cycle_from(folder)
    if found and frozenset(found) not in seen:
        seen.add(frozenset(found))
        failures.append("cycle: " + " -> ".join(found))

for failure in failures:
    print(failure, file=sys.stderr)
sys.exit(1 if failures else 0)
