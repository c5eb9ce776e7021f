#!/usr/bin/env python3
"""Prints the benchmark report (Markdown) from a results folder of bench/run.sh.

    report.py RESULTS_DIR

Reads times.json (hyperfine; times-1.json, times-2.json, ... after several
rounds, whose runs are pooled), paired.json (paired ratios, when taken),
rss.tsv (peak RSS) and meta.txt.
"""

import glob
import json
import os
import statistics
import sys

MIB = 1024  # KiB per MiB


def main():
    d = sys.argv[1]
    runs = load_times(d)
    meta = {}
    with open(os.path.join(d, "meta.txt")) as f:
        for line in f:
            k, _, v = line.rstrip("\n").partition("=")
            meta[k] = v
    rss = {}
    try:
        with open(os.path.join(d, "rss.tsv")) as f:
            for line in f:
                label, tree, kib = line.rstrip("\n").split("\t")
                rss[(label, tree)] = int(kib) if kib else None
    except FileNotFoundError:
        pass

    paired, paired_cpu = {}, {}
    try:
        with open(os.path.join(d, "paired.json")) as f:
            for r in json.load(f):
                paired[(r["a"], r["b"])] = r["median_ratio"]
                if "median_cpu_ratio" in r:
                    paired_cpu[(r["a"], r["b"])] = r["median_cpu_ratio"]
    except FileNotFoundError:
        pass

    med = {name: r["median"] for name, r in runs.items()}
    mins = {name: r["min"] for name, r in runs.items()}
    out = []
    p = out.append

    p(f"Tree: {meta.get('tree')} ({meta.get('entries')} entries); tvx {meta.get('tvx')} "
      f"(commit {meta.get('commit')}); {meta.get('warmup')} warm-up runs and {meta.get('runs')} "
      f"runs per command{rounds_text(meta)}; load average before {meta.get('load_before')}, after {meta.get('load_after')}.")
    p("")
    p("### Targets (medians, one run)")
    p("")
    if paired:
        p("The result is judged on the paired ratio (the two commands run in turn); the ratio of "
          "medians and of minima come from the hyperfine runs.")
        p("")
    p("| tvx figure | tvx s | compared with | its s | ratio of medians | paired ratio | target "
      "| result | ratio of minima |")
    p("|---|---:|---|---:|---:|---:|---|---|---:|")

    def row(a, b, target, op="<=", note=""):
        if a not in med or b not in med:
            return
        ratio = med[a] / med[b]
        pr = paired.get((a, b))
        judged = ratio if pr is None else pr
        ok = judged <= target if op == "<=" else judged < target
        p(f"| {a} | {med[a]:.3f} | {b} | {med[b]:.3f} | {ratio:.2f} | "
          f"{'-' if pr is None else f'{pr:.2f}'} | {op} {target:.2f}{note} "
          f"| {'PASS' if ok else 'FAIL'} | {mins[a] / mins[b]:.2f} |")

    row("tvx LIST /R", "find", 0.85)
    row("tvx DIR /R", "bfs -printf", 0.75)
    row("tvx DIR /R", "du -a", 1.00, "<", " (better still)")
    row("tvx STAT /R", "find", 0.85)
    row("tvx LIST /R $DATETIME", "tvx DIR /R", 1.00)
    row("tvx LIST /R /O:N", "tvx LIST /R", 1.20)
    row("tvx LIST /R (pipe)", "tvx LIST /R", 1.10)
    row("tvx DIR /R (pipe)", "tvx DIR /R", 1.10)
    p("")
    floor_section(p, med, mins, paired, paired_cpu, runs)
    p("DIR /R against du -a is the stronger goal (stat work on both cores). For comparison, the peers' "
      "own pipe costs: " + ", ".join(
          f"{a} {med[a] / med[b]:.2f}x" for a, b in (("find (pipe)", "find"),
                                                     ("bfs -printf (pipe)", "bfs -printf"))
          if a in med and b in med) + ".")
    p("")

    p("### Peak RSS")
    p("")
    small_n = int(meta["small_entries"]) if meta.get("small_entries") else None
    big_n = int(meta["entries"])
    p(f"| tvx command | {small_n or '-'} entries | {big_n} entries | growth per entry | "
      f"target | result |")
    p("|---|---:|---:|---:|---|---|")
    for label in ("tvx LIST /R", "tvx DIR /R"):
        big = rss.get((label, "big"))
        small = rss.get((label, "small"))
        if big is None:
            continue
        ok = big <= 64 * MIB
        growth = "-"
        cond = "<= 64 MiB"
        if small is not None and small_n:
            per = (big - small) * 1024 / (big_n - small_n)
            growth = f"{per:.0f} B"
            # Linear (or better): no more than the entry ratio times the small figure.
            linear = big <= small * big_n / small_n
            ok = ok and linear
            cond += ", at most linear"
        p(f"| {label} | {fmt_kib(small)} | {fmt_kib(big)} | {growth} | {cond} | "
          f"{'PASS' if ok else 'FAIL'} |")
    p("")

    p("### Every command")
    p("")
    p("| command | median s | mean s ± sd | min s | max s | user s | system s | peak RSS |")
    p("|---|---:|---:|---:|---:|---:|---:|---:|")
    for name, r in runs.items():
        p(f"| {name} | {r['median']:.3f} | {r['mean']:.3f} ± {r['stddev']:.3f} | {r['min']:.3f} | "
          f"{r['max']:.3f} | {r['user']:.3f} | {r['system']:.3f} | {fmt_kib(rss.get((name, 'big')))} |")
    print("\n".join(out))


def floor_section(p, med, mins, paired, paired_cpu, runs):
    """The ratios to the machine's limit: bench/floor.c walking the same tree."""
    if "floor names" not in med:
        return
    p("### Against the machine's limit (bench/floor.c: one thread, no output)")
    p("")
    p("| tvx figure | tvx s | floor | its s | ratio of medians | paired ratio | target | result |")
    p("|---|---:|---|---:|---:|---:|---|---|")
    for a, b, target in (("tvx LIST /R", "floor names", 0.75), ("tvx DIR /R", "floor stat", 0.55),
                         ("tvx STAT /R", "floor names", 0.70)):
        if a not in med or b not in med:
            continue
        ratio = med[a] / med[b]
        pr = paired.get((a, b))
        judged = ratio if pr is None else pr
        p(f"| {a} | {med[a]:.3f} | {b} | {med[b]:.3f} | {ratio:.2f} | "
          f"{'-' if pr is None else f'{pr:.2f}'} | <= {target:.2f} | "
          f"{'PASS' if judged <= target else 'FAIL'} |")
    a, b = runs.get("tvx LIST /R"), runs.get("floor names")
    if a and b:
        # CPU drifts with the machine's phase as wall time does: judged on the
        # turns run in pairs where they were taken.
        cpu_a, cpu_b = a["user"] + a["system"], b["user"] + b["system"]
        pc = paired_cpu.get(("tvx LIST /R", "floor names"))
        judged = cpu_a / cpu_b if pc is None else pc
        p(f"| tvx LIST /R CPU (user+system) | {cpu_a:.3f} | floor names CPU | {cpu_b:.3f} | "
          f"{cpu_a / cpu_b:.2f} | {'-' if pc is None else f'{pc:.2f}'} | <= 1.30 | "
          f"{'PASS' if judged <= 1.3 else 'FAIL'} |")
    # The kernel's own work spread over two threads: how much room each target leaves.
    for one, two in (("floor names", "floor names -j2"), ("floor stat", "floor stat -j2")):
        if one in med and two in med:
            p(f"| ({two}) | - | {one} | {med[one]:.3f} | {med[two] / med[one]:.2f} | - | - | - |")
    # Two threads cost the kernel more than one does for the same work.
    one, two = runs.get("floor names"), runs.get("floor names -j2")
    if one and two:
        cpu_one, cpu_two = one["user"] + one["system"], two["user"] + two["system"]
        p(f"| (floor names -j2 CPU) | {cpu_two:.3f} | floor names CPU | {cpu_one:.3f} | "
          f"{cpu_two / cpu_one:.2f} | - | - | - |")
    p("")


def load_times(d):
    """Per command: the hyperfine figures, over the runs of every round."""
    files = sorted(glob.glob(os.path.join(d, "times-*.json")),
                   key=lambda f: int(f.rsplit("-", 1)[1].split(".")[0]))
    if not files:
        files = [os.path.join(d, "times.json")]
    pooled = {}
    for path in files:
        with open(path) as f:
            for r in json.load(f)["results"]:
                entry = pooled.setdefault(r["command"], {"times": [], "user": [], "system": []})
                entry["times"] += r["times"]
                entry["user"].append(r["user"])
                entry["system"].append(r["system"])
    runs = {}
    for name, e in pooled.items():
        t = e["times"]
        runs[name] = {"median": statistics.median(t), "mean": statistics.mean(t),
                      "stddev": statistics.stdev(t) if len(t) > 1 else 0.0,
                      "min": min(t), "max": max(t),
                      "user": statistics.mean(e["user"]), "system": statistics.mean(e["system"])}
    return runs


def rounds_text(meta):
    rounds = int(meta.get("rounds") or 1)
    return f" in each of {rounds} rounds, pooled" if rounds > 1 else ""


def fmt_kib(kib):
    if kib is None:
        return "-"
    return f"{kib / MIB:.1f} MiB"


if __name__ == "__main__":
    main()
