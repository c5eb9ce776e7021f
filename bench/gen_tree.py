#!/usr/bin/env python3
"""Deterministic directory tree for the tvx benchmark.

    gen_tree.py ENTRIES OUTDIR [--fanout 89] [--depth 8] [--seed 1]
    gen_tree.py --remove OUTDIR

Makes exactly ENTRIES entries below OUTDIR (files, directories and symbolic
links; OUTDIR itself not counted), about FANOUT entries per directory, with
directories nested at most DEPTH levels below OUTDIR. Names average about 20
bytes and about one in seven has a blank. Files are mostly empty or small (1 to
3000 bytes); a few are sparse files of 2 to 9 GiB (os.truncate, no blocks
used). A few symbolic links point to files and to directories, one is dangling
and one points back to OUTDIR from deep inside it (a cycle for any walker that
follows links). Every entry, OUTDIR included, gets a modification time from a
fixed table, so the same arguments give the same tree (names, sizes, times,
shape) on every run and machine; only the order in which the file system
returns directory entries is its own.

A stamp file OUTDIR.tvxbench.json is written beside the tree with the arguments
and counts. An existing tree with a matching stamp is kept as it is; --remove
deletes a tree only if its stamp is there.
"""

import argparse
import json
import os
import stat
import subprocess
import sys
import time

WORDS = (
    "alpha beta gamma delta kernel module report invoice photo album track "
    "backup config build cache index table chart draft final notes scan "
    "render layer mesh texture audio video frame sample shader script "
    "driver vendor source header object library archive export import "
    "summer winter spring autumn north south east west river forest "
    "client server packet stream buffer queue thread socket signal "
    "development background photograph configuration documents "
    "recordings thumbnails manuscript dependencies interface"
).split()
FILE_EXTS = (".txt", ".c", ".h", ".cpp", ".jpg", ".png", ".mp3", ".log",
             ".json", ".xml", ".md", ".o", ".py", ".dat", "", ".html")

# Modification times: 97 fixed instants between 2001 and 2025, with
# sub-second parts (nanoseconds) so that printers of fractional seconds differ.
BASE = 978307200  # 2001-01-01 00:00:00 UTC
TIMES = [(BASE + (k * 7_777_777) % 757_000_000) * 1_000_000_000
         + (k * 123_456_789) % 1_000_000_000 for k in range(97)]

GIB = 1 << 30


class Rng:
    """xorshift64*: small, fast enough, and the same on every Python version."""

    def __init__(self, seed):
        self.s = (seed * 0x9E3779B97F4A7C15 + 0x2545F4914F6CDD1D) & 0xFFFFFFFFFFFFFFFF or 1

    def next(self):
        s = self.s
        s ^= s >> 12
        s ^= (s << 25) & 0xFFFFFFFFFFFFFFFF
        s ^= s >> 27
        self.s = s
        return ((s * 0x2545F4914F6CDD1D) & 0xFFFFFFFFFFFFFFFF) >> 32

    def below(self, n):
        return self.next() % n


def branching(dirs_needed, fanout, depth):
    """Smallest number of subdirectories per directory that fits the tree."""
    for b in range(1, fanout + 1):
        total, level = 1, 1
        for _ in range(depth):
            level *= b
            total += level
            if total >= dirs_needed:
                return b
    return None


def stamp_path(out):
    return out.rstrip("/") + ".tvxbench.json"


def remove(out):
    sp = stamp_path(out)
    if not os.path.exists(sp):
        sys.exit(f"gen_tree.py: {sp} is missing; {out} was not made by gen_tree.py, not removing it")
    if os.path.lexists(out):
        subprocess.run(["rm", "-rf", "--one-file-system", "--", out], check=True)
    os.remove(sp)


def generate(entries, out, fanout, depth, seed):
    dirs_needed = -(-entries // fanout)  # root included
    b = branching(dirs_needed, fanout - 1, depth)
    if b is None:
        sys.exit(f"gen_tree.py: {entries} entries do not fit in depth {depth} with fanout {fanout}")

    rng = Rng(seed)
    below = rng.below
    words = WORDS
    nwords = len(words)
    exts = FILE_EXTS
    nexts = len(exts)
    times = TIMES
    ntimes = len(times)

    # Special entries, by global entry number (deterministic positions).
    n_sparse = max(3, entries // 200_000)
    n_links = max(4, entries // 25_000)
    step = max(1, entries // (n_sparse + n_links + 2))
    sparse_at = {step // 2 + i * step * 2 + 1 for i in range(n_sparse)}
    link_at = {step // 2 + i * step * 2 + step for i in range(n_links)}
    cycle_done = False

    os.mkdir(out)
    root_fd = os.open(out, os.O_RDONLY | os.O_DIRECTORY)
    small = bytes(range(33, 127)) * 40  # content for small files

    S_REG = stat.S_IFREG | 0o644
    O_NEW = os.O_WRONLY | os.O_CREAT | os.O_EXCL
    O_DIR = os.O_RDONLY | os.O_DIRECTORY
    mknod = os.mknod
    utime = os.utime
    osopen, oswrite, osclose = os.open, os.write, os.close
    mkdir, symlink, truncate = os.mkdir, os.symlink, os.truncate

    # Breadth-first queue of (relative path, depth) of directories to fill.
    queue = [("", 0)]
    qi = 0
    made = 0          # entries made so far
    dirs = 1          # directories made so far, root included
    counts = {"files": 0, "empty": 0, "small": 0, "sparse": 0, "dirs": 0, "links": 0,
              "name_bytes": 0, "blank_names": 0, "max_depth": 0}

    while qi < len(queue):
        rel, d = queue[qi]
        qi += 1
        fd = root_fd if rel == "" else osopen(rel, O_DIR, dir_fd=root_fd)
        n = min(fanout, entries - made)
        nsub = min(b, dirs_needed - dirs, n) if d < depth else 0
        dirs += nsub
        # Slots that become subdirectories: spread over the directory.
        subslots = set()
        while len(subslots) < nsub:
            subslots.add(below(n))
        last_file = None
        last_dir = None
        for j in range(n):
            g = made + j
            r = rng.next()
            w1 = words[r % nwords]
            w2 = words[(r >> 8) % nwords]
            sep = " " if (r >> 16) % 7 == 0 else "_"
            t = times[g % ntimes]
            if j in subslots:
                name = f"{w1}{sep}{w2}-{j:03d}"
                mkdir(name, 0o755, dir_fd=fd)
                child = name if rel == "" else rel + "/" + name
                queue.append((child, d + 1))
                last_dir = name
                counts["dirs"] += 1
                if d + 1 > counts["max_depth"]:
                    counts["max_depth"] = d + 1
            elif g in link_at and (last_file or last_dir):
                name = f"{w1}{sep}link-{j:03d}"
                k = len([x for x in link_at if x <= g])
                if not cycle_done and d + 1 >= min(depth, 3):
                    target = "/".join([".."] * d) if d else "."
                    cycle_done = True
                elif k % 4 == 1 and last_file:
                    target = last_file
                elif k % 4 == 2 and last_dir:
                    target = last_dir
                elif k % 4 == 3:
                    target = "no-such-" + w2
                else:
                    target = last_dir or last_file
                symlink(target, name, dir_fd=fd)
                utime(name, ns=(t, t), dir_fd=fd, follow_symlinks=False)
                counts["links"] += 1
                made_name = name
                counts["name_bytes"] += len(made_name.encode())
                counts["blank_names"] += " " in made_name
                continue
            else:
                name = f"{w1}{sep}{w2}-{j:03d}{exts[(r >> 24) % nexts]}"
                counts["files"] += 1
                if g in sparse_at:
                    f = osopen(name, O_NEW, 0o644, dir_fd=fd)
                    truncate(f, (2 + counts["sparse"] % 8) * GIB + (r & 0xFFFFF))
                    utime(f, ns=(t, t))
                    osclose(f)
                    counts["sparse"] += 1
                elif (r >> 28) < 5:  # 5 in 16
                    f = osopen(name, O_NEW, 0o644, dir_fd=fd)
                    oswrite(f, small[: 1 + (r >> 4) % 3000])
                    utime(f, ns=(t, t))
                    osclose(f)
                    counts["small"] += 1
                else:
                    mknod(name, S_REG, dir_fd=fd)
                    utime(name, ns=(t, t), dir_fd=fd, follow_symlinks=False)
                    counts["empty"] += 1
                last_file = name
            counts["name_bytes"] += len(name.encode())
            counts["blank_names"] += " " in name
        made += n
        # The directory's own time, now that all its entries exist (filling
        # its subdirectories later does not change it).
        t = times[(qi * 31) % ntimes]
        utime(fd, ns=(t, t))
        if fd != root_fd:
            osclose(fd)
    osclose(root_fd)
    if made != entries:
        sys.exit(f"gen_tree.py: made {made} entries instead of {entries} (depth {depth} too small?)")
    counts["entries"] = made
    counts["subdirs_per_dir"] = b
    return counts


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("entries", type=int, nargs="?", help="number of entries below OUTDIR")
    ap.add_argument("outdir", help="tree to make (must not exist)")
    ap.add_argument("--fanout", type=int, default=89, help="entries per directory (default 89)")
    ap.add_argument("--depth", type=int, default=8, help="most directory levels below OUTDIR (default 8)")
    ap.add_argument("--seed", type=int, default=1, help="name and size seed (default 1)")
    ap.add_argument("--remove", action="store_true", help="remove a tree made by gen_tree.py and its stamp")
    a = ap.parse_args()
    out = a.outdir.rstrip("/") or "/"
    if a.remove:
        remove(out)
        return
    if a.entries is None or a.entries < 1 or a.fanout < 2 or a.depth < 1:
        ap.error("need ENTRIES >= 1, --fanout >= 2, --depth >= 1")
    args = {"entries": a.entries, "fanout": a.fanout, "depth": a.depth, "seed": a.seed}
    sp = stamp_path(out)
    if os.path.lexists(out):
        try:
            with open(sp) as f:
                old = json.load(f)
        except (OSError, ValueError):
            sys.exit(f"gen_tree.py: {out} exists and was not made by gen_tree.py")
        if old.get("args") == args:
            print(f"{out}: already made with the same arguments, kept")
            return
        sys.exit(f"gen_tree.py: {out} was made with {old.get('args')}; remove it first (--remove)")
    start = time.monotonic()
    counts = generate(a.entries, out, a.fanout, a.depth, a.seed)
    secs = time.monotonic() - start
    with open(sp, "w") as f:
        json.dump({"args": args, "counts": counts, "seconds": round(secs, 1)}, f, indent=1)
        f.write("\n")
    c = counts
    print(f"{out}: {c['entries']} entries ({c['dirs']} directories, {c['files']} files: "
          f"{c['empty']} empty, {c['small']} small, {c['sparse']} sparse; {c['links']} links), "
          f"depth {c['max_depth']}, name {c['name_bytes'] / c['entries']:.1f} bytes on average, "
          f"{c['blank_names']} with blanks; {secs:.1f} s")


if __name__ == "__main__":
    main()
