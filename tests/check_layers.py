#!/usr/bin/env python3
"""Checks the layering of src/ from its #include lines.

The folders of src/ are layers. The allowed order stands in one place, the line of the README's
architecture section that starts with "Layers, lowest first:"; folders named on one step (split
by commas) are peers and do not include each other. The check fails on
  - an include of a folder above the including file's own, or of a peer;
  - an include of a platform backend's own header from outside platform/ (the core sees the
    seam, platform/platform.h, and nothing else of the operating system layer);
  - a folder of src/ the order does not name;
  - a circle of units (a unit is a header with its .cpp: folder/name), and a circle of folders.

Usage: check_layers.py [source root]   (the root holds README.md and src/; default: ../ of here)
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
SEAM = "platform/platform.h"


def read_order(readme):
    """Returns {folder: rank} from the README's "Layers, lowest first:" line."""
    with open(readme, encoding="utf-8") as f:
        for line in f:
            if line.startswith("Layers, lowest first:"):
                steps = line.split(":", 1)[1].strip().rstrip(".").split("→")
                rank = {}
                for level, step in enumerate(steps):
                    for name in step.split(","):
                        rank[name.strip().strip("`").rstrip("/")] = level
                return rank
    sys.exit(f"{readme}: no line starting with 'Layers, lowest first:'")


def read_includes(src):
    """Returns {file: [included path]} for every .h and .cpp below src, paths relative to it."""
    graph = {}
    for top, _, names in os.walk(src):
        for name in names:
            if not name.endswith((".h", ".cpp")):
                continue
            path = os.path.join(top, name)
            with open(path, encoding="utf-8") as f:
                graph[os.path.relpath(path, src)] = INCLUDE.findall(f.read())
    return graph


def circles(edges):
    """Returns the strongly connected parts of more than one node of {node: set(node)}, each
    sorted (Tarjan's algorithm, iterative)."""
    index, low, stack, on_stack, found = {}, {}, [], set(), []
    counter = 0
    for root in sorted(edges):
        if root in index:
            continue
        work = [(root, iter(sorted(edges.get(root, ()))))]
        index[root] = low[root] = counter
        counter += 1
        stack.append(root)
        on_stack.add(root)
        while work:
            node, children = work[-1]
            child = next(children, None)
            if child is not None:
                if child not in index:
                    index[child] = low[child] = counter
                    counter += 1
                    stack.append(child)
                    on_stack.add(child)
                    work.append((child, iter(sorted(edges.get(child, ())))))
                elif child in on_stack:
                    low[node] = min(low[node], index[child])
                continue
            work.pop()
            if work:
                parent = work[-1][0]
                low[parent] = min(low[parent], low[node])
            if low[node] == index[node]:
                part = []
                while True:
                    member = stack.pop()
                    on_stack.discard(member)
                    part.append(member)
                    if member == node:
                        break
                if len(part) > 1:
                    found.append(sorted(part))
    return sorted(found)


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    src = os.path.join(root, "src")
    rank = read_order(os.path.join(root, "README.md"))
    graph = read_includes(src)
    faults = []
    folder_edges, unit_edges = {}, {}
    for path in sorted(graph):
        folder = path.split(os.sep)[0]
        if folder not in rank:
            faults.append(f"{path}: folder {folder}/ is not in the README's order")
            continue
        unit = os.path.splitext(path)[0]
        for target in graph[path]:
            if not os.path.exists(os.path.join(src, target)):
                faults.append(f"{path}: includes {target}, which is not in src/")
                continue
            other = target.split("/")[0]
            folder_edges.setdefault(folder, set())
            if other != folder:
                folder_edges[folder].add(other)
                if rank.get(other, len(rank)) >= rank[folder]:
                    kind = "a peer" if rank.get(other) == rank[folder] else "a higher folder"
                    faults.append(f"{path}: includes {target} ({kind})")
                elif other == "platform" and target != SEAM:
                    faults.append(f"{path}: includes {target} (a backend's own header)")
            target_unit = os.path.splitext(target)[0]
            if target_unit != unit:
                unit_edges.setdefault(unit, set()).add(target_unit)
    for part in circles(folder_edges):
        faults.append("folder circle: " + " ".join(part))
    for part in circles(unit_edges):
        faults.append(f"unit circle of {len(part)}: " + " ".join(part))
    for fault in faults:
        print(fault)
    print(f"{len(graph)} files, {sum(map(len, graph.values()))} includes: "
          f"{len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
