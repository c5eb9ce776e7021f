#!/usr/bin/env python3
"""The folders of src/ are layers: each file includes only its own folder and
the layers below it, so that no two folders include each other, directly or
round a circle.

    layers.py <the source folder>
"""

import os
import re
import sys

ORDER = ["text", "platform", "walk", "lines", "cli"]  # lowest first


def layer_of(path: str, src: str) -> int | None:
    top = os.path.relpath(path, src).split(os.sep)[0]
    return ORDER.index(top) if top in ORDER else None


def main() -> int:
    src = sys.argv[1]
    problems = []
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
                        continue  # the same folder
                    used = layer_of(os.path.join(src, target), src)
                    if used is None:
                        problems.append(f"{path}:{number}: {target} is in no layer")
                    elif own is not None and used > own:
                        problems.append(f"{path}:{number}: {ORDER[own]} includes {ORDER[used]}")
    for problem in problems:
        print(problem)
    print(f"layers: {len(problems)} includes point up or nowhere")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
