#!/usr/bin/env python3
"""Checks that src/'s includes run one way: each folder includes only itself and the folders below it,
and no file includes itself round a circle. Prints every include that breaks the order; exit status 1 then.
Usage: tools/check_includes.py [SRC]"""
import pathlib
import re
import sys

# Each folder and the folders it may include beside its own; capacities.h at the top of src/ is the floor.
ALLOWED = {
    "platform": set(),
    "nif": set(),
    "keys": set(),
    "kf": {"nif", "keys"},
    "check": {"kf", "nif", "keys"},
    "sample": {"check", "kf", "nif", "keys"},
    "build": {"kf", "nif", "keys"},
    "driver": {"build", "sample", "check", "kf", "nif", "keys", "platform"},
}

src = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "src")
files = sorted(p for p in src.rglob("*") if p.suffix in (".h", ".cpp"))
edges, faults = {}, []
for path in files:
    name = path.relative_to(src).as_posix()
    room = name.split("/")[0] if "/" in name else ""
    edges[name] = []
    for line in path.read_text().splitlines():
        m = re.match(r'\s*#\s*include\s+"([^"]+)"', line)
        if not m:
            continue
        target = m.group(1)
        edges[name].append(target)
        to = target.split("/")[0] if "/" in target else ""
        if to and to != room and (room == "" or to not in ALLOWED.get(room, set())):
            faults.append(f"{name}: includes {target} ({room or 'src'} may not include {to})")

# A circle among files, a header and its source taken as one (a.cpp including b.h while b.cpp includes
# a.h is a circle too): a depth-first walk that meets a file it is still inside.
units = {}
for name, targets in edges.items():
    units.setdefault(name.rsplit(".", 1)[0], set()).update(t.rsplit(".", 1)[0] for t in targets)
edges = {unit: sorted(targets - {unit}) for unit, targets in units.items()}
state = {}
def walk(node, trail):
    state[node] = 1
    for nxt in edges.get(node, []):
        if state.get(nxt) == 1:
            faults.append("circle: " + " -> ".join(trail[trail.index(nxt):] + [nxt]))
        elif nxt in edges and state.get(nxt) is None:
            walk(nxt, trail + [nxt])
    state[node] = 2
for node in edges:
    if state.get(node) is None:
        walk(node, [node])

for fault in faults:
    print(fault)
print(f"{len(files)} files, {len(faults)} faults")
sys.exit(1 if faults else 0)
