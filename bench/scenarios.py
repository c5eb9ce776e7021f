#!/usr/bin/env python3
"""Times tvx on trees that are not in memory: the cold and slow-file-system
scenarios of the benchmark (see bench/README.md).

    scenarios.py cold TREE [--turns N] [--tvx PATH] [--out DIR]
    scenarios.py slowfs TREE [--turns N] [--delay-us N] [--tvx PATH] [--out DIR]
    scenarios.py choose TREE [--turns N] [--cold] [--base PATH] [--tvx PATH] [--out DIR]
    scenarios.py top TREE [--turns N] [--tvx PATH] [--out DIR]
    scenarios.py du TREE [--turns N] [--cold] [--tvx PATH] [--out DIR]
    scenarios.py depth DIR [--levels N] [--turns N] [--tvx PATH] [--out DIR]

cold: the page cache is dropped before every run (needs root; skipped
otherwise). slowfs: TREE is seen through bench/slowfs.c, a FUSE passthrough
that adds a fixed delay to every operation (built here with cc and
libfuse3; skipped where FUSE cannot be mounted). choose: a warm tree, LIST /R
beside LIST /R with a name pattern and with a growing share of the tree's
top-level subdirectories excluded (--cold: the page cache dropped before
every run; --base: LIST /R of another tvx too, for the unfiltered walk).
top: a warm tree, the ten largest files of the whole tree (/TOP with /O)
beside DIR /R, the same streamed with /C for its peak memory, and a pattern
with /I beside the same pattern without it. du: tvx DU beside du and
du -s (warm, or --cold with the page cache dropped before every run), the
ten largest directories, its peak memory, and first a check that every
directory's apparent and allocated size agrees with du's. depth: a chain of
N one-entry directories (40,000 by default) is made under DIR, and the peak
memory of STAT /R, LIST /R and LIST /R /C over it is held to DEPTH_TARGET_MIB.

Every turn runs each command once, in an order that rotates from turn to
turn, under /usr/bin/time (wall time and peak RSS); each tvx figure's ratio
to a peer is taken per turn, and the median of those paired ratios is
printed with the targets. Writes DIR/scenario-NAME.json and prints the
report in Markdown.
"""

import argparse
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
FMT = "%TY/%Tm/%Td %TH:%TM:%TS %s %p\\n"

# (tvx figure, peer, target ratio or None) per scenario.
TARGETS = {
    "cold": [("tvx LIST /R", "find", 0.6), ("tvx LIST /R", "bfs", None),
             ("tvx LIST /R", "fdfind", None), ("tvx DIR /R", "du -a", 0.35),
             ("tvx DIR /R", "bfs -printf", None)],
    "slowfs": [("tvx LIST /R", "find", 0.25), ("tvx LIST /R", "fdfind", 0.5),
               ("tvx LIST /R", "bfs", None), ("tvx DIR /R", "du -a", 0.2),
               ("tvx DIR /R", "bfs -printf", None)],
}


def commands(tvx, tree):
    return {
        "tvx LIST /R": [tvx, "LIST", tree, "/R"],
        "tvx DIR /R": [tvx, "DIR", tree, "/R"],
        "find": ["find", tree],
        "bfs": ["bfs", tree],
        "fdfind": ["fdfind", "-uu", ".", tree],
        "du -a": ["du", "-a", tree],
        "bfs -printf": ["bfs", tree, "-printf", FMT.replace("\\n", "\n")],
    }


def drop_caches():
    subprocess.run(["sync"], check=True)
    with open("/proc/sys/vm/drop_caches", "w") as f:
        f.write("3\n")


def timed(argv):
    """Wall seconds, peak RSS (KiB), user and system CPU seconds of one run,
    output to /dev/null."""
    with tempfile.NamedTemporaryFile("r") as tv:
        start = time.perf_counter()
        rc = subprocess.run(["/usr/bin/time", "-f", "%M %U %S", "-o", tv.name] + argv,
                            stdout=subprocess.DEVNULL).returncode
        took = time.perf_counter() - start
        if rc != 0:
            sys.exit(f"scenarios.py: status {rc}: {' '.join(argv)}")
        rss, user, system = tv.read().split()[-3:]
        return took, int(rss), float(user), float(system)


def run_turns(cmds, turns, prepare):
    names = list(cmds)
    runs = {n: [] for n in names}
    for turn in range(turns):
        order = names[turn % len(names):] + names[:turn % len(names)]
        for name in order:
            prepare()
            runs[name].append(timed(cmds[name]))
            print(f"  turn {turn + 1}/{turns}: {name}: {runs[name][-1][0]:.2f} s", flush=True)
    return runs


def build_slowfs(workdir):
    exe = os.path.join(workdir, "slowfs")
    flags = subprocess.run(["pkg-config", "--cflags", "--libs", "fuse3"], capture_output=True,
                           text=True)
    if flags.returncode != 0 or not shutil.which("cc"):
        return None, "cc or libfuse3 (Debian libfuse3-dev) is missing"
    rc = subprocess.run(["cc", "-O2", "-o", exe, os.path.join(HERE, "slowfs.c")] +
                        flags.stdout.split()).returncode
    return (exe, None) if rc == 0 else (None, "slowfs.c did not build")


def mount_slowfs(exe, tree, mnt, delay_us):
    if not os.path.exists("/dev/fuse") or not shutil.which("fusermount3"):
        return "no /dev/fuse or fusermount3 (Debian fuse3)"
    try:
        rc = subprocess.run([exe, tree, mnt, "--delay-us", str(delay_us), "-o",
                             "ro,default_permissions,fsname=slowfs"], timeout=20).returncode
    except subprocess.TimeoutExpired:
        return "the FUSE mount did not answer"
    for _ in range(50):
        if rc == 0 and os.path.ismount(mnt):
            return None
        time.sleep(0.1)
    return "the FUSE mount failed"


def entries_below(path):
    count = 0
    for _, dirs, files in os.walk(path):
        count += len(dirs) + len(files)
    return count


def choose_commands(tvx, tree):
    """LIST /R, LIST /R /M:*.txt, and LIST /R with about a quarter, half and
    three quarters of the entries below excluded subtrees (whole top-level
    subdirectories by name, which the generated trees use nowhere deeper: a
    path pattern would keep the walk from reading ahead); the share actually
    excluded per name."""
    tops = sorted(e.name for e in os.scandir(tree) if e.is_dir(follow_symlinks=False))
    sizes = {t: entries_below(os.path.join(tree, t)) + 1 for t in tops}
    total = entries_below(tree)
    cmds = {"tvx LIST /R": [tvx, "LIST", tree, "/R"],
            "tvx LIST /R /M:*.txt": [tvx, "LIST", tree, "/R", "/M:*.txt"]}
    shares = {}
    for quarter in (1, 2, 3):
        chosen, got = [], 0
        for t in tops:
            if got >= total * quarter / 4:
                break
            chosen.append(t)
            got += sizes[t]
        if chosen:
            name = f"tvx LIST /R /X ({got / total:.0%} excluded)"
            cmds[name] = [tvx, "LIST", tree, "/R", "/X:" + ";".join(chosen)]
            shares[name] = got / total
    return cmds, shares


# (tvx figure, compared with, target ratio or peak MiB) of the top scenario.
TOP_COMMANDS = {
    "tvx DIR /R": ["DIR", "/R"],
    "tvx LIST /R /D /O:-S /TOP:10": ["LIST", "/R", "/D", "/O:-S", "/TOP:10"],
    "tvx LIST /R /C /D /O:-S /TOP:10": ["LIST", "/R", "/C", "/D", "/O:-S", "/TOP:10"],
    "tvx LIST /R /M:*.txt": ["LIST", "/R", "/M:*.txt"],
    "tvx LIST /R /M:*.TXT /I": ["LIST", "/R", "/M:*.TXT", "/I"],
}
TOP_TARGETS = [("tvx LIST /R /D /O:-S /TOP:10", "tvx DIR /R", 1.1),
               ("tvx LIST /R /M:*.TXT /I", "tvx LIST /R /M:*.txt", 1.05),
               ("tvx LIST /R /C /D /O:-S /TOP:10", None, 16)]


# The du scenario: tvx DU beside du, warm and cold targets.
DU_COMMANDS = {
    "tvx DU": ["{tvx}", "DU", "{tree}"],
    "tvx DU /O:-S /TOP:10": ["{tvx}", "DU", "{tree}", "/O:-S", "/TOP:10"],
    "du": ["du", "{tree}"],
    "du -s": ["du", "-s", "{tree}"],
}
DU_TARGETS = {"warm": [("tvx DU", "du", 0.6), ("tvx DU /O:-S /TOP:10", "du", 0.6),
                       ("tvx DU", None, 16)],
              "cold": [("tvx DU", "du", 0.45), ("tvx DU", None, 16)]}


def du_disagreements(tvx, tree):
    """Directories whose DU figure differs from du's, apparent and allocated."""
    res = subprocess.run([tvx, "DU", tree, "/C", "/JSON"], stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL)
    got = {r["path"]: r for r in map(json.loads, res.stdout.decode().splitlines())}
    wrong = []
    for key, args in (("size", ["--apparent-size"]), ("alloc", [])):
        out = subprocess.run(["du", "-B1", *args, tree], stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL).stdout.decode()
        for line in out.splitlines():
            size, path = line.split("\t", 1)
            if path not in got or got[path][key] != int(size):
                wrong.append(f"{key} {path}: du {size}, tvx {got.get(path, {}).get(key)}")
    return wrong


DEPTH_TARGET_MIB = 48


def make_chain(root, levels):
    """root/d/d/... levels deep, each made relative to its parent (no path limit)."""
    os.makedirs(root, exist_ok=True)
    fd = os.open(root, os.O_RDONLY | os.O_DIRECTORY)
    for _ in range(levels):
        if not os.path.isdir(os.path.join(f"/proc/self/fd/{fd}", "d")):
            os.mkdir("d", dir_fd=fd)
        child = os.open("d", os.O_RDONLY | os.O_DIRECTORY, dir_fd=fd)
        os.close(fd)
        fd = child
    os.close(fd)


def depth_report(runs, meta):
    out = [f"### Scenario depth: {meta}", "", "| command | median s | peak RSS | target | result |",
           "|---|---:|---:|---|---|"]
    for n, r in runs.items():
        rss = max(x[1] for x in r) / 1024
        verdict = "PASS" if rss <= DEPTH_TARGET_MIB else "FAIL"
        out.append(f"| {n} | {statistics.median(x[0] for x in r):.3f} | {rss:.1f} MiB | "
                   f"<= {DEPTH_TARGET_MIB} MiB | {verdict} |")
    return "\n".join(out) + "\n"


def top_report(runs, meta, targets=None, name="top"):
    targets = targets or TOP_TARGETS
    out = [f"### Scenario {name}: {meta}", "",
           "| tvx figure | s | compared with | its s | paired ratio | peak RSS | target | result |",
           "|---|---:|---|---:|---:|---:|---|---|"]
    med = {n: statistics.median(x[0] for x in r) for n, r in runs.items()}
    for fig, peer, target in targets:
        rss = max(x[1] for x in runs[fig]) / 1024
        if peer is None:
            verdict = "PASS" if rss <= target else "FAIL"
            out.append(f"| {fig} | {med[fig]:.3f} | | | | {rss:.1f} MiB | <= {target} MiB | {verdict} |")
            continue
        ratio = statistics.median(a[0] / b[0] for a, b in zip(runs[fig], runs[peer]))
        verdict = "PASS" if ratio <= target else "FAIL"
        out.append(f"| {fig} | {med[fig]:.3f} | {peer} | {med[peer]:.3f} | {ratio:.3f} | "
                   f"{rss:.1f} MiB | <= {target} | {verdict} |")
    return "\n".join(out) + "\n"


def choose_report(runs, meta):
    base = statistics.median(x[0] for x in runs["tvx LIST /R"])
    out = [f"### Scenario choose: {meta}", "",
           "| command | median s | ratio to LIST /R | peak RSS |", "|---|---:|---:|---:|"]
    for n, r in runs.items():
        med = statistics.median(x[0] for x in r)
        out.append(f"| {n} | {med:.3f} | {med / base:.2f} | {max(x[1] for x in r) / 1024:.1f} MiB |")
    return "\n".join(out) + "\n"


def report(scenario, tree, runs, meta):
    med = {n: statistics.median(x[0] for x in r) for n, r in runs.items()}
    rss = {n: max(x[1] for x in r) for n, r in runs.items()}
    cpus = os.cpu_count() or 1
    out = [f"### Scenario {scenario}: {meta}", "",
           "| tvx figure | tvx s | compared with | its s | paired ratio | target | result | "
           "floor |", "|---|---:|---|---:|---:|---|---|---:|"]
    for fig, peer, target in TARGETS[scenario]:
        ratios = [a[0] / b[0] for a, b in zip(runs[fig], runs[peer])]
        ratio = statistics.median(ratios)
        # The peer's system time is the kernel's work on the tree (reading
        # directories and inodes), which any walker that reports the same
        # facts pays too: spread over every CPU, it bounds the ratio from below.
        # Not through FUSE, where the passthrough does that work in its own process.
        floor = statistics.median(b[3] / cpus / b[0] for b in runs[peer])
        floor_text = f"{floor:.2f}" if scenario == "cold" else ""
        verdict = "" if target is None else ("PASS" if ratio <= target else "FAIL")
        out.append(f"| {fig} | {med[fig]:.3f} | {peer} | {med[peer]:.3f} | {ratio:.2f} | "
                   f"{'' if target is None else f'<= {target}'} | {verdict} | {floor_text} |")
    out += ["", f"floor: the peer's median system CPU time over {cpus} CPUs, divided by its wall "
            "time.", "", "| command | median s | min s | max s | user s | system s | peak RSS |",
            "|---|---:|---:|---:|---:|---:|---:|"]
    for n, r in runs.items():
        times = [x[0] for x in r]
        user = statistics.median(x[2] for x in r)
        system = statistics.median(x[3] for x in r)
        out.append(f"| {n} | {med[n]:.3f} | {min(times):.3f} | {max(times):.3f} | {user:.2f} | "
                   f"{system:.2f} | {rss[n] / 1024:.1f} MiB |")
    return "\n".join(out) + "\n"


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("scenario", choices=["cold", "slowfs", "choose", "top", "du", "depth"])
    ap.add_argument("tree")
    ap.add_argument("--turns", type=int, default=3)
    ap.add_argument("--delay-us", type=int, default=200)
    ap.add_argument("--cold", action="store_true")
    ap.add_argument("--levels", type=int, default=40000)
    ap.add_argument("--base")
    ap.add_argument("--tvx", default=os.path.join(HERE, "..", "build", "native", "tvx"))
    ap.add_argument("--out", default=os.path.join(HERE, "results", time.strftime("%Y%m%d-%H%M%S")))
    a = ap.parse_args()
    tvx, tree = os.path.abspath(a.tvx), os.path.abspath(a.tree)
    needed = ("/usr/bin/time",) if a.scenario in ("choose", "top", "du", "depth") else ("find", "bfs", "fdfind", "du",
                                                                  "/usr/bin/time")
    for tool in needed:
        if not shutil.which(tool):
            sys.exit(f"scenarios.py: {tool} is missing (apt-get install -y bfs fd-find time)")
    load = open("/proc/loadavg").read().split()[:3]
    if a.scenario == "du":
        wrong = du_disagreements(tvx, tree)
        for line in wrong[:20]:
            print(line, file=sys.stderr)
        if a.cold and os.geteuid() != 0:
            sys.exit("scenarios.py: --cold needs root to drop the page cache")
        cmds = {n: [x.format(tvx=tvx, tree=tree) for x in argv] for n, argv in DU_COMMANDS.items()}
        subprocess.run(cmds["du -s"], stdout=subprocess.DEVNULL)  # warm the cache
        kind = "cold" if a.cold else "warm"
        meta = (f"{tree}, {kind}, {a.turns} turns, {len(wrong)} directories disagreeing with du, "
                f"load {' '.join(load)}")
        runs = run_turns(cmds, a.turns, drop_caches if a.cold else (lambda: None))
        text = top_report(runs, meta, DU_TARGETS[kind], "du")
        os.makedirs(a.out, exist_ok=True)
        with open(os.path.join(a.out, f"scenario-du-{kind}.json"), "w") as f:
            json.dump({"meta": meta, "runs": runs, "disagreeing": wrong}, f, indent=1)
        print(text)
        return 1 if wrong else 0
    if a.scenario == "top":
        cmds = {name: [tvx, args[0], tree] + args[1:] for name, args in TOP_COMMANDS.items()}
        subprocess.run(cmds["tvx DIR /R"], stdout=subprocess.DEVNULL)  # warm the cache
        meta = f"{tree}, warm, {a.turns} turns, load {' '.join(load)}"
        runs = run_turns(cmds, a.turns, lambda: None)
        text = top_report(runs, meta + f", end load {open('/proc/loadavg').read().split()[0]}")
        os.makedirs(a.out, exist_ok=True)
        with open(os.path.join(a.out, "scenario-top.json"), "w") as f:
            json.dump({"meta": meta, "runs": runs}, f, indent=1)
        print(text)
        return 0
    if a.scenario == "depth":
        chain = os.path.join(tree, f"chain{a.levels}")
        make_chain(chain, a.levels)
        cmds = {f"tvx {' '.join(args)}": [tvx, args[0], chain] + args[1:]
                for args in (["STAT", "/R"], ["LIST", "/R"], ["LIST", "/R", "/C"])}
        meta = f"a chain {a.levels} levels deep, {a.turns} turns, load {' '.join(load)}"
        text = depth_report(run_turns(cmds, a.turns, lambda: None), meta)
        print(text)
        return 0
    if a.scenario == "choose":
        cmds, _ = choose_commands(tvx, tree)
        if a.base:
            cmds["base LIST /R"] = [os.path.abspath(a.base), "LIST", tree, "/R"]
        if a.cold and os.geteuid() != 0:
            print("scenario choose --cold skipped: dropping the page cache needs root")
            return 0
        subprocess.run(cmds["tvx LIST /R"], stdout=subprocess.DEVNULL)  # warm the cache
        meta = f"{tree}, {'cold' if a.cold else 'warm'}, {a.turns} turns, load {' '.join(load)}"
        runs = run_turns(cmds, a.turns, drop_caches if a.cold else lambda: None)
        text = choose_report(runs, meta)
        os.makedirs(a.out, exist_ok=True)
        with open(os.path.join(a.out, "scenario-choose.json"), "w") as f:
            json.dump({"meta": meta, "runs": runs}, f, indent=1)
        print(text)
        return 0
    if a.scenario == "cold":
        if os.geteuid() != 0:
            print("scenario cold skipped: dropping the page cache needs root")
            return 0
        meta = f"{tree}, page cache dropped before every run, {a.turns} turns, load {' '.join(load)}"
        runs = run_turns(commands(tvx, tree), a.turns, drop_caches)
    else:
        work = tempfile.mkdtemp(prefix="tvx-slowfs-")
        mnt = os.path.join(work, "mnt")
        os.mkdir(mnt)
        exe, why = build_slowfs(work)
        why = why or mount_slowfs(exe, tree, mnt, a.delay_us)
        if why:
            print(f"scenario slowfs skipped: {why}")
            shutil.rmtree(work, ignore_errors=True)
            return 0
        try:
            meta = (f"{tree} through slowfs ({a.delay_us} us per operation, no kernel caching), "
                    f"{a.turns} turns, load {' '.join(load)}")
            runs = run_turns(commands(tvx, mnt), a.turns, lambda: None)
        finally:
            subprocess.run(["fusermount3", "-u", mnt])
            shutil.rmtree(work, ignore_errors=True)
    text = report(a.scenario, tree, runs, meta + f", end load {open('/proc/loadavg').read().split()[0]}")
    os.makedirs(a.out, exist_ok=True)
    with open(os.path.join(a.out, f"scenario-{a.scenario}.json"), "w") as f:
        json.dump({"meta": meta, "runs": runs}, f, indent=1)
    print(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
