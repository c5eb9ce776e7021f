#!/usr/bin/env python3
"""Times pairs of commands run in turn and prints the median of their ratios.

    paired.py --runs N --out FILE [--pair NAME_A CMD_A NAME_B CMD_B]...

For each pair, after one warm-up run of each, runs A and B N times in turn
(A B, then B A, so that a machine speeding up or slowing down during the
pair favours neither) and takes the ratio A/B of each turn. On a virtual
machine whose speed drifts over seconds, the median of these paired ratios
varies far less between runs than a ratio of two medians taken minutes
apart. Commands run through /bin/sh -c, as hyperfine runs them. The CPU time
(user + system) of each run is paired the same way. Writes FILE as JSON: a
list of {a, b, runs, ratios, median_ratio, a_times, b_times, cpu_ratios,
median_cpu_ratio}.
"""

import argparse
import json
import os
import statistics
import subprocess
import sys
import time


def timed(cmd):
    """Wall seconds, and the CPU seconds (user + system) of the shell and
    everything it waited for, of one run of cmd."""
    start = time.perf_counter()
    child = subprocess.Popen(["/bin/sh", "-c", cmd])
    _, status, usage = os.wait4(child.pid, 0)
    took = time.perf_counter() - start
    rc = os.waitstatus_to_exitcode(status)
    if rc != 0:
        sys.exit(f"paired.py: command failed with status {rc}: {cmd}")
    return took, usage.ru_utime + usage.ru_stime


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--runs", type=int, default=10)
    ap.add_argument("--out", required=True)
    ap.add_argument("--pair", nargs=4, action="append", default=[],
                    metavar=("NAME_A", "CMD_A", "NAME_B", "CMD_B"))
    args = ap.parse_args()
    results = []
    for name_a, cmd_a, name_b, cmd_b in args.pair:
        timed(cmd_a)
        timed(cmd_b)
        a_times, b_times, ratios, cpu_ratios = [], [], [], []
        for i in range(args.runs):
            if i % 2 == 0:
                ta, ca = timed(cmd_a)
                tb, cb = timed(cmd_b)
            else:
                tb, cb = timed(cmd_b)
                ta, ca = timed(cmd_a)
            a_times.append(ta)
            b_times.append(tb)
            ratios.append(ta / tb)
            cpu_ratios.append(ca / cb if cb > 0 else float("nan"))
        median = statistics.median(ratios)
        cpu_median = statistics.median(cpu_ratios)
        print(f"{name_a} / {name_b}: paired ratio {median:.3f} "
              f"(range {min(ratios):.3f} to {max(ratios):.3f}, {args.runs} turns; "
              f"CPU {cpu_median:.3f})", flush=True)
        results.append({"a": name_a, "b": name_b, "runs": args.runs, "ratios": ratios,
                        "median_ratio": median, "a_times": a_times, "b_times": b_times,
                        "cpu_ratios": cpu_ratios, "median_cpu_ratio": cpu_median})
    with open(args.out, "w") as f:
        json.dump(results, f, indent=1)


if __name__ == "__main__":
    main()
