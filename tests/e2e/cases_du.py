"""DU: per-directory totals checked against du, its exports, and what it refuses."""

from __future__ import annotations

import json
import math
import os
import shutil
import subprocess
from fractions import Fraction

from e2e_base import E2E, NotApplicable, only, open_terminal, read_terminal
from harness import group

DUT_DIRS = ["", "a", "a/b", "c", "shut"]


def du_figures(path: str, *args: str, nobody: bool = False) -> dict[str, int]:
    """du's figure for every directory under path, by its path."""
    argv = ["du", "-B1", *args, path]
    if nobody and os.geteuid() == 0:
        argv = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"] + argv
    run = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=False)
    figures = {}
    for line in run.stdout.decode().splitlines():
        size, name = line.split("\t", 1)
        figures[name] = int(size)
    return figures


def records(res) -> list[dict]:
    return [json.loads(line) for line in res.out.decode().splitlines()]


class DuTotals(E2E):
    @only("native", "du reads the same tree natively only")
    def test_every_directory_agrees_with_du(self):
        dut = self.c.unix("dut")
        res = self.run_unprivileged(["DU", dut, "/C", "/JSON"])
        self.c.check_status(res, 1, f"File access denied [{dut}/shut]\n")
        got = {r["path"]: r for r in records(res)}
        apparent = du_figures(dut, "--apparent-size", nobody=True)
        allocated = du_figures(dut, nobody=True)
        self.assertEqual(sorted(got), sorted(apparent))
        for path, figure in apparent.items():
            with self.subTest(path=path):
                self.assertEqual(got[path]["size"], figure)
                self.assertEqual(got[path]["alloc"], allocated[path])
        # The root's record comes last, and the closed folder marks it and itself.
        self.assertEqual(records(res)[-1]["path"], dut)
        marked = sorted(r["rel"] for r in records(res) if r.get("read_error"))
        self.assertEqual(marked, ["", "shut"])
        # A file of two names counts once: the sparse file's 5 MiB, the rest.
        self.assertEqual(got[dut + "/a/b"]["files"], 2)
        self.assertLess(got[dut + "/c"]["alloc"], 1024 * 1024)

    @only("native", "du reads the same tree natively only")
    def test_lines_and_levels(self):
        dut = self.c.unix("dut")
        figures = du_figures(dut, "--apparent-size", "--max-depth=1", nobody=True)
        files = {"": 7, "a": 3, "c": 2, "shut": 0}
        expected = "".join(f"{group(figures[dut + ('/' + r if r else '')]):>20}  {group(files[r]):>12}"
                           f"{' ! ' if r in ('', 'shut') else '   '}{dut + ('/' + r if r else '')}\n"
                           for r in ("a", "c", "shut", ""))
        res = self.run_unprivileged(["DU", dut, "/C", "/LEV:1"])
        lines = sorted(res.out.decode().splitlines()[:-1]) + [res.out.decode().splitlines()[-1]]
        want = expected.splitlines()
        self.assertEqual(lines, sorted(want[:-1]) + [want[-1]])
        self.assertEqual(res.rc, 1)

    @only("native", "du reads the same tree natively only")
    def test_unreadable_folder_without_continue_ends_the_run(self):
        res = self.run_unprivileged(["DU", self.c.unix("dut")])
        self.assertEqual(res.rc, 1)
        self.assertIn(b"File access denied", res.err)

    @only("native", "a file system is mounted natively only")
    def test_xdev_stays_on_one_file_system(self):
        top = os.path.join(self.c.tmp, "duxdev")
        os.makedirs(os.path.join(top, "mnt"), exist_ok=True)
        with open(os.path.join(top, "here.bin"), "wb") as f:
            f.write(b"x" * 300)
        mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=1m", "none",
                                  os.path.join(top, "mnt")], stderr=subprocess.DEVNULL).returncode == 0
        if not mounted:
            raise NotApplicable("no file system can be mounted here (not root, or no right to mount)")
        try:
            with open(os.path.join(top, "mnt", "there.bin"), "wb") as f:
                f.write(b"y" * 5000)
            for args, du_args in (([], []), (["/XDEV"], ["-x"])):
                with self.subTest(args=args):
                    res = self.c.run(["DU", top, "/JSON"] + args)
                    self.c.check_status(res, 0)
                    got = {r["path"]: r["size"] for r in records(res)}
                    self.assertEqual(got, du_figures(top, "--apparent-size", *du_args))
            res = self.c.run(["DU", top, "/JSON", "/XDEV"])
            self.assertEqual(records(res)[-1]["files"], 1)
            if shutil.which("ncdu"):
                res = self.c.run(["DU", top, "/NCDU", "/XDEV"])
                export = os.path.join(self.c.tmp, "duxdev.json")
                with open(export, "wb") as f:
                    f.write(res.out)
                again = subprocess.run(["ncdu", "-f", export, "-o", "-"], stdout=subprocess.PIPE, check=True)
                direct = subprocess.run(["ncdu", "-x", "-o", "-", top], stdout=subprocess.PIPE, check=True)
                self.assertEqual(ncdu_shape(again.stdout), ncdu_shape(direct.stdout))
                self.assertIn(b'"excluded":"otherfs"', res.out)
        finally:
            subprocess.run(["umount", os.path.join(top, "mnt")], check=True)

    def test_sizes_from_the_directory_read(self):
        # Natively a directory's own size counts too, as du counts it.
        own = {} if self.c.wine else du_figures(self.c.unix("dus"), "--apparent-size", "-S")
        selfsize = lambda rel: 0 if self.c.wine else own[self.c.unix(rel)] - sum(
            os.path.getsize(os.path.join(self.c.unix(rel), f)) for f in os.listdir(self.c.unix(rel))
            if os.path.isfile(os.path.join(self.c.unix(rel), f)))
        res = self.c.run(["DU", self.c.abs("dus"), "/JSON"])
        self.c.check_status(res, 0)
        got = {r["rel"].replace("\\", "/"): (r["size"], r["files"], r["dirs"], r["depth"])
               for r in records(res)}
        d = {rel: selfsize("dus/" + rel if rel else "dus") for rel in ("", "sub", "sub/deep", "z")}
        self.assertEqual(got, {
            "sub/deep": (30 + d["sub/deep"], 1, 0, 2),
            "sub": (50 + d["sub"] + d["sub/deep"], 2, 1, 1),
            "z": (d["z"], 0, 0, 1),
            "": (60 + sum(d.values()), 3, 3, 0)})
        self.assertEqual(records(res)[-1]["path"], self.c.abs("dus"))

    def test_largest_directories_first(self):
        res = self.c.run(["DU", self.c.abs("dus"), "/O:-S", "/TOP:2", "/JSON"])
        self.c.check_status(res, 0)
        self.assertEqual([r["rel"].replace("\\", "/") for r in records(res)], ["", "sub"])
        res = self.c.run(["DU", self.c.abs("dus"), "/O:S", "/TOP:1", "/JSON"])
        self.assertEqual([r["rel"] for r in records(res)], ["z"])

    def test_filters_choose_what_counts(self):
        res = self.c.run(["DU", self.c.abs("dus"), "/M:b.txt;c.txt", "/X:deep", "/JSON", "/LEV:1"])
        self.c.check_status(res, 0)
        got = {r["rel"].replace("\\", "/"): (r["files"], r["dirs"]) for r in records(res)}
        self.assertEqual(got, {"sub": (1, 0), "z": (0, 0), "": (1, 2)})

    def test_human_sizes(self):
        res = self.c.run(["DU", self.c.abs("dus/sub/deep"), "/H"])
        self.c.check_status(res, 0)
        size = "30 B" if self.c.wine else None
        line = res.out.decode().rstrip("\r\n")
        self.assertRegex(line, r"^ +[0-9.]+ (B|KiB) +1   ")
        if size:
            self.assertEqual(line, f"{size:>10}  {'1':>12}   {self.c.abs('dus/sub/deep')}")


class DuTree(E2E):
    def dus_sizes(self) -> dict[str, int]:
        """The apparent size of dus and of each directory below it, by its path below dus."""
        if self.c.wine:
            return {"": 60, "sub": 50, "sub/deep": 30, "z": 0}
        figures = du_figures(self.c.unix("dus"), "--apparent-size")
        return {rel: figures[self.c.unix("dus/" + rel if rel else "dus")]
                for rel in ("", "sub", "sub/deep", "z")}

    def test_tree_into_a_file_is_ascii_largest_first(self):
        res = self.c.run(["DU", self.c.abs("dus"), "/TREE"])
        self.c.check_status(res, 0)
        size = self.dus_sizes()
        sep = "\\" if self.c.wine else "/"
        # Two levels by default: sub, z and sub/deep, not below.
        rows = [(self.c.abs("dus"), size[""], 1.0),
                ("|-- sub", size["sub"], size["sub"] / size[""]),
                ("|   `-- deep", size["sub/deep"], size["sub/deep"] / size["sub"]),
                ("`-- z", size["z"], size["z"] / size[""])]
        want = draw_tree(rows, 80, ASCII_GLYPHS)
        self.assertEqual(res.out.decode(), "".join(line + self.c.lb for line in want))
        self.assertNotIn(sep + "sub", res.out.decode())

    @only("native", "a POSIX terminal")
    def test_tree_on_a_terminal_draws_boxes_within_its_width(self):
        size = self.dus_sizes()
        for locale, (branch, last), glyphs in (("en_US.UTF-8", ("\u251c\u2500\u2500 ", "\u2514\u2500\u2500 "), BOX_GLYPHS),
                                               ("C", ("|-- ", "`-- "), ASCII_GLYPHS)):
            with self.subTest(locale=locale):
                rows = [(self.c.abs("dus"), size[""], 1.0),
                        (branch + "sub", size["sub"], size["sub"] / size[""]),
                        (last + "z", size["z"], size["z"] / size[""])]
                want = draw_tree(rows, 60, glyphs)
                out = self.on_terminal(["DU", self.c.abs("dus"), "/TREE", "/LEV:1"], locale, 60)
                self.assertEqual(out.decode("utf-8"), "".join(line + "\r\n" for line in want))

    def on_terminal(self, args: list[str], locale: str, columns: int) -> bytes:
        """Standard output of a run on a pseudo-terminal of that width."""
        master, slave = open_terminal(columns)
        env, _ = self.c._env(locale, None)
        p = subprocess.Popen([self.c.exe, *args], stdout=slave, stderr=subprocess.PIPE,
                             stdin=subprocess.DEVNULL, env=env)
        os.close(slave)
        out = read_terminal(master)
        self.assertEqual(p.wait(timeout=60), 0, p.stderr.read())
        return out


ASCII_GLYPHS = ("#", ".", "...")
BOX_GLYPHS = ("\u2588", " ", "\u2026")


def human(n: int) -> str:
    """A size as /H writes it: tenths rounded up, whole units from 10 on."""
    units = ["B", "KiB", "MiB", "GiB", "TiB"]
    if n < 1024:
        return f"{n} B"
    unit = 0
    value = Fraction(n)
    while value >= 1024:
        value /= 1024
        unit += 1
    tenths = math.ceil(value * 10)
    if tenths >= 100:
        whole = (tenths + 9) // 10
        return f"1.0 {units[unit + 1]}" if whole >= 1024 else f"{whole} {units[unit]}"
    return f"{tenths // 10}.{tenths % 10} {units[unit]}"


def draw_tree(rows, width: int, glyphs) -> list[str]:
    """The lines of a tree of (branches and name, size, share of the parent),
    every name one column a character, as DU /TREE lays them out."""
    full, empty, ellipsis = glyphs
    sizes = [human(size) for _, size, _ in rows]
    size_w = max(len(t) for t in sizes)
    rest = max(0, width - (size_w + 3 + 4))
    bar = min(30, rest // 3) if rest >= 8 else 0
    tree_w = min(max(len(t) for t, _, _ in rows), rest - (bar + 1 if bar else 0))
    lines = []
    for (tree, _, share), text in zip(rows, sizes):
        if len(tree) > tree_w:
            tree = tree[:tree_w - len(ellipsis)] + ellipsis
        filled = min(bar, int(share * bar + 0.5))
        line = f"{tree:<{tree_w}} {text:>{size_w}}  {full * filled}{empty * (bar - filled)}"
        lines.append(f"{line} {str(int(share * 100 + 0.5)) + '%':>4}")
    return lines


class DuExports(E2E):
    def test_ncdu_export_is_json_of_the_tree(self):
        res = self.c.run(["DU", self.c.abs("dus"), "/NCDU"])
        self.c.check_status(res, 0)
        data = json.loads(res.out)
        self.assertEqual(data[:2], [1, 2])
        self.assertEqual(data[2]["progname"], "tvx")
        root = data[3]
        self.assertEqual(root[0]["name"], self.c.abs("dus"))
        names = lambda d: sorted(e[0]["name"] if isinstance(e, list) else e["name"] for e in d[1:])
        self.assertEqual(names(root), ["a.txt", "sub", "z"])
        sub = next(e for e in root[1:] if isinstance(e, list) and e[0]["name"] == "sub")
        self.assertEqual(names(sub), ["b.txt", "deep"])
        self.assertEqual(next(e for e in sub[1:] if isinstance(e, dict))["asize"], 20)

    @only("native", "ncdu reads the tree natively")
    def test_ncdu_loads_the_export(self):
        if shutil.which("ncdu") is None:
            raise NotApplicable("ncdu is not installed (Debian package ncdu)")
        top = ncdu_tree(self.c.tmp)
        for args, ncdu_args in (([], []), (["/X:*.log;skip"], ["--exclude", "*.log", "--exclude", "skip"])):
            with self.subTest(args=args):
                export = self.export(top, args)
                again = subprocess.run(["ncdu", "-f", export, "-o", "-"], stdout=subprocess.PIPE, check=True)
                direct = subprocess.run(["ncdu", *ncdu_args, "-o", "-", top], stdout=subprocess.PIPE, check=True)
                self.assertEqual(ncdu_shape(again.stdout), ncdu_shape(direct.stdout))

    @only("native", "ncdu reads the tree natively")
    def test_ncdu_loads_the_export_of_a_closed_folder(self):
        if shutil.which("ncdu") is None:
            raise NotApplicable("ncdu is not installed (Debian package ncdu)")
        dut = self.c.unix("dut")
        res = self.run_unprivileged(["DU", dut, "/C", "/NCDU"])
        self.c.check_status(res, 1, f"File access denied [{dut}/shut]\n")
        export = os.path.join(self.c.tmp, "dut.ncdu.json")
        with open(export, "wb") as f:
            f.write(res.out)
        os.chmod(export, 0o644)
        # ncdu as the same user, so that the folder is closed to it too.
        ncdu = ["env", "HOME=/tmp", "ncdu", "--ignore-config"]
        if os.geteuid() == 0:
            ncdu = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"] + ncdu
        again = subprocess.run(ncdu + ["-f", export, "-o", "-"], stdout=subprocess.PIPE, check=True)
        direct = subprocess.run(ncdu + ["-o", "-", dut], stdout=subprocess.PIPE, check=True)
        self.assertEqual(ncdu_shape(again.stdout), ncdu_shape(direct.stdout))
        self.assertIn(b'"read_error":true', again.stdout)

    @only("native", "gdu reads the tree natively")
    def test_gdu_loads_the_export(self):
        if shutil.which("gdu") is None:
            raise NotApplicable("gdu is not installed (Debian package gdu)")
        top = ncdu_tree(self.c.tmp)
        export = self.export(top, [])
        twin = os.stat(os.path.join(top, "sub/deep/twin.txt"))
        for apparent, twin_size in (([], twin.st_blocks * 512), (["-a"], twin.st_size)):
            with self.subTest(apparent=apparent):
                gdu = lambda *src: gdu_figures(["gdu", "-n", "-p", "--no-prefix", *apparent, *src])
                # gdu counts a file's second name once only as it scans, not as it loads.
                direct = gdu(top)
                direct["/sub"] += twin_size
                self.assertEqual(gdu("-f", export), direct)

    def export(self, top: str, args: list[str]) -> str:
        res = self.c.run(["DU", top, "/NCDU"] + args)
        self.c.check_status(res, 0)
        export = os.path.join(self.c.tmp, "ncdu-export.json")
        with open(export, "wb") as f:
            f.write(res.out)
        return export


def ncdu_tree(tmp: str) -> str:
    """A tree with what an export must tell apart: links, a pipe, a hole, odd names."""
    top = os.path.join(tmp, "duncdu")
    if os.path.isdir(top):
        return top
    for d in ("sub/deep", "empty", "skip/in"):
        os.makedirs(os.path.join(top, d))
    for name, data in (("a.txt", b"x" * 10), ("sub/b.log", b"y" * 20), ("skip/in/c", b"z"),
                       ("sub/deep/\"q\\.txt", b"q" * 30), ("bad\xff".encode("latin-1").decode(
                           "utf-8", "surrogateescape"), b"w" * 3)):
        with open(os.path.join(top, name), "wb") as f:
            f.write(data)
    os.link(os.path.join(top, "a.txt"), os.path.join(top, "sub/deep/twin.txt"))
    os.symlink("a.txt", os.path.join(top, "lnk"))
    os.mkfifo(os.path.join(top, "pipe"))
    with open(os.path.join(top, "hole.bin"), "wb") as f:
        f.truncate(3 * 1024 * 1024)
    return top


def ncdu_shape(export: bytes):
    """An export's tree, entries in name order, without what differs by who wrote it."""
    def entry(e):
        if isinstance(e, list):
            return [entry(e[0])] + sorted((entry(c) for c in e[1:]), key=json.dumps)
        e = dict(e)
        if e.get("excluded") == "pattern":
            e.pop("dev", None)  # ncdu does not look at what a pattern excludes
        if e.get("excluded") == "othfs":
            e["excluded"] = "otherfs"  # ncdu reads both spellings, writes the short one
        return e
    return entry(json.loads(export.decode("utf-8", "surrogateescape"))[3])


def gdu_figures(argv: list[str]) -> dict[str, int]:
    """gdu's figure for each entry of the top directory, by name (its order breaks ties freely)."""
    run = subprocess.run(argv, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, check=True)
    figures = {}
    for line in run.stdout.decode("utf-8", "replace").splitlines():
        size, name = line[1:].split(None, 1)
        figures[name] = int(size)
    return figures


class DuBadInput(E2E):
    def test_refused_before_the_scan(self):
        d = self.c.abs("dus")
        for args, typed in [(["/NCDU", "/JSON"], "/JSON"), (["/NCDU", "/CSV"], "/CSV"),
                            (["/CSV"], "/CSV"), (["/P=x"], "/P=x"), (["/S=x"], "/S=x"),
                            (["/LINE=x"], "/LINE=x"), (["/TOP:0"], "/TOP:0"),
                            (["/O:N"], "/O:N"), (["/NCDU", "/0"], "/0"),
                            (["/NCDU", "/TREE"], "/TREE"), (["/TREE", "/0"], "/0"),
                            (["/TREE", "/JSON"], "/JSON")]:
            with self.subTest(args=args):
                self.assert_failure(["DU", d] + args, f"Invalid value [{typed}]")
        for extra in ("/ALLOC", "/XDEV", "/NCDU", "/H", "/TREE"):
            with self.subTest(extra=extra):
                self.assert_failure(["LIST", d, extra], f"Invalid value [{extra}]")
