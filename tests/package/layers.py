#!/usr/bin/env python3
"""The folders of src/ are layers: each file includes only its own folder and
the layers below it, so that no two folders include each other, directly or
round a circle. Inside a folder the units (a header with its .cpp files)
include each other in one direction only: no two round a circle.

    layers.py <the source folder>
"""

import os
import re
import sys

ORDER = ["text", "platform", "walk", "lines", "cli"]  # lowest first


def unit_of(path: str, src: str) -> str:
    """A header and its .cpp are one unit (WalkEngine.h, WalkEngine.cpp); a
    .cpp of no header of its own is a unit by itself."""
    return os.path.splitext(os.path.relpath(path, src))[0]


def circles(edges: dict[str, set[str]]) -> list[list[str]]:
    """The strongly connected sets of more than one unit (Tarjan's)."""
    index, low, stack, on, found = {}, {}, [], set(), []

    def visit(v: str) -> None:
        index[v] = low[v] = len(index)
        stack.append(v)
        on.add(v)
        for w in edges.get(v, ()):
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            group = []
            while True:
                w = stack.pop()
                on.discard(w)
                group.append(w)
                if w == v:
                    break
            if len(group) > 1:
                found.append(sorted(group))

    for v in list(edges):
        if v not in index:
            visit(v)
    return found


def layer_of(path: str, src: str) -> int | None:
    top = os.path.relpath(path, src).split(os.sep)[0]
    return ORDER.index(top) if top in ORDER else None


def main() -> int:
    src = sys.argv[1]
    problems = []
    edges: dict[str, set[str]] = {}
    for root, _, files in os.walk(src):
        for name in files:
            if not name.endswith((".h", ".cpp")):
                continue
            path = os.path.join(root, name)
            own = layer_of(path, src)
            with open(path, encoding="utf-8") as f:
                for number, line in enumerate(f, 1):
                    m = re.match(r'\s*#include "([^"]+)"', line)
                    if not m:
                        continue
                    target = m.group(1)
                    if os.path.exists(os.path.join(root, target)):
                        # The same folder: a step between its units.
                        used_unit = unit_of(os.path.join(root, target), src)
                        own_unit = unit_of(path, src)
                        if used_unit != own_unit:
                            edges.setdefault(own_unit, set()).add(used_unit)
                        continue
                    used = layer_of(os.path.join(src, target), src)
                    if used is None:
                        problems.append(f"{path}:{number}: {target} is in no layer")
                    elif own is not None and used > own:
                        problems.append(f"{path}:{number}: {ORDER[own]} includes {ORDER[used]}")
    for group in circles(edges):
        problems.append(f"{' -> '.join(group)}: these units include each other")
    for problem in problems:
        print(problem)
    print(f"layers: {len(problems)} includes point up or nowhere")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
