#!/usr/bin/env python3
"""Memory and time to the first line of a streamed listing (LIST /R /C)
against the listing that is written whole at the end (LIST /R).

    stream.py TREE [TREE ...] [--turns N] [--cold] [--tvx PATH] [--out DIR]

Each run's standard output is a pipe that this script reads: the time from
the start to the first byte and to the end are taken there, the peak RSS by
/usr/bin/time. --cold drops the page cache before every run (needs root).
Prints the medians over the turns in Markdown with the targets, and writes
DIR/stream.json.
"""

import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def drop_caches():
    subprocess.run(["sync"], check=True)
    with open("/proc/sys/vm/drop_caches", "w") as f:
        f.write("3\n")


def run(argv):
    """(seconds to the first byte, seconds to the end, peak RSS in KiB, lines)."""
    with tempfile.NamedTemporaryFile("r") as tv:
        start = time.perf_counter()
        p = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", tv.name] + argv,
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        first = p.stdout.read(1)
        first_at = time.perf_counter() - start
        lines = first.count(b"\n")
        while chunk := p.stdout.read(1 << 20):
            lines += chunk.count(b"\n")
        p.wait()
        took = time.perf_counter() - start
        if p.returncode not in (0, 1):
            sys.exit(f"stream.py: status {p.returncode}: {' '.join(argv)}")
        return first_at, took, int(tv.read().split()[-1]), lines


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("trees", nargs="+")
    ap.add_argument("--turns", type=int, default=3)
    ap.add_argument("--cold", action="store_true")
    ap.add_argument("--tvx", default=os.path.join(HERE, "..", "build", "native", "tvx"))
    ap.add_argument("--out", default=os.path.join(HERE, "results", time.strftime("%Y%m%d-%H%M%S")))
    a = ap.parse_args()
    if a.cold and os.geteuid() != 0:
        sys.exit("stream.py: --cold drops the page cache, which needs root")
    tvx = os.path.abspath(a.tvx)
    figures = {}
    for tree in a.trees:
        tree = os.path.abspath(tree)
        cmds = {"LIST /R /C": [tvx, "LIST", tree, "/R", "/C"], "LIST /R": [tvx, "LIST", tree, "/R"]}
        runs = {n: [] for n in cmds}
        for turn in range(a.turns):
            for name in (list(cmds) if turn % 2 == 0 else list(reversed(cmds))):
                if a.cold:
                    drop_caches()
                runs[name].append(run(cmds[name]))
                print(f"  {tree} turn {turn + 1}: {name}: first {runs[name][-1][0]:.3f} s, "
                      f"all {runs[name][-1][1]:.3f} s", flush=True)
        figures[tree] = runs
    out = [f"### Streaming: {'cold' if a.cold else 'warm'}, {a.turns} turns, medians", "",
           "| tree | command | entries | first line s | whole s | first ÷ whole | peak RSS |",
           "|---|---|---:|---:|---:|---:|---:|"]
    for tree, runs in figures.items():
        for name, r in runs.items():
            first = statistics.median(x[0] for x in r)
            whole = statistics.median(x[1] for x in r)
            rss = max(x[2] for x in r) / 1024
            out.append(f"| {os.path.basename(tree)} | {name} | {r[0][3]:,} | {first:.3f} | "
                       f"{whole:.3f} | {first / whole:.3f} | {rss:.1f} MiB |")
        ratio = statistics.median(c[1] / w[1] for c, w in zip(runs["LIST /R /C"], runs["LIST /R"]))
        out.append(f"| {os.path.basename(tree)} | /C ÷ without, paired | | | {ratio:.2f} | | |")
    out += ["", "Targets: first ÷ whole ≤ 0.05 with /C; /C ÷ without ≤ 1.0; peak RSS with /C ≤ 16 MiB "
            "on every tree."]
    os.makedirs(a.out, exist_ok=True)
    with open(os.path.join(a.out, "stream.json"), "w") as f:
        json.dump(figures, f, indent=1)
    print("\n".join(out))
    return 0


if __name__ == "__main__":
    sys.exit(main())
