"""The directory trees the cases list, built once per test run.

Every entry gets a known last-write time (UTC; the runs pin TZ=UTC, so local
time is the same). Unless a builder says otherwise that time is T_DEFAULT,
which has an odd second: the program keeps 2-second resolution and shows it
one second earlier.
"""

from __future__ import annotations

import calendar
import os


def utc(y, mo, d, h=0, mi=0, s=0) -> int:
    return calendar.timegm((y, mo, d, h, mi, s, 0, 0, 0))


T_DEFAULT = utc(2023, 3, 5, 9, 5, 7)      # shown as 09:05:06
T_PM = utc(2023, 11, 14, 14, 46, 25)      # shown as 14:46:24
T_MIDNIGHT = utc(2021, 1, 2, 0, 0, 0)
T_EARLY = utc(2022, 7, 8, 0, 0, 3)        # shown as 00:00:02, not midnight
T_NOON = utc(2022, 7, 8, 12, 0, 10)
T_DE = utc(2023, 11, 14, 9, 5, 7)         # two-digit day and month

# Names with a double-byte trail byte that means something in ASCII under
# Shift-JIS (code page 932).
SJIS_DIR = "ソ"        # 0x83 0x5C: the trail byte is "\"
SJIS_LOWER_TRAIL = "ヂ"  # 0x83 0x61: the trail byte is "a"
SJIS_UPPER_TRAIL = "ア"  # 0x83 0x41: the trail byte is "A"
SJIS_QUOTE_TRAILS = "ゼゾタチボマミ"  # trail bytes "[", "]", "^", "`", "{", "}", "~"

NAME31 = "thirty-one-bytes-long-name.data"  # 31 bytes
NAME35 = "abcdefghijklmnopqrstuvwxyz01234.dat"  # 35 bytes
MANY_FILES = 300
TURNS_FILES = 3000  # in each of turns/a, b and c: a kept list written in turns
WIDE = 6  # wide and wideshut: 6 + 36 + 108 directories each


class Builder:
    def __init__(self, root: str, mode: str):
        self.root = root
        self.mode = mode
        self.times: dict[str, int] = {}

    def p(self, rel: str) -> str:
        return os.path.join(self.root, rel)

    def dir(self, rel: str, t: int = T_DEFAULT):
        os.makedirs(self.p(rel), exist_ok=True)
        os.chmod(self.p(rel), 0o755)
        self.times[rel] = t

    def file(self, rel: str, size: int = 1, t: int = T_DEFAULT, mode: int = 0o644):
        with open(self.p(rel), "wb") as f:
            f.write(b"x" * size)
        os.chmod(self.p(rel), mode)
        self.times[rel] = t

    def sparse(self, rel: str, size: int, t: int = T_DEFAULT):
        with open(self.p(rel), "wb"):
            pass
        os.truncate(self.p(rel), size)
        self.times[rel] = t

    def tree(self, base: str, entries, t: int = T_DEFAULT):
        """base, and below it each (rel, size) of entries: a file of size
        bytes, or a directory where size is None; parents come first."""
        self.dir(base, t)
        for rel, size in entries:
            if size is None:
                self.dir(f"{base}/{rel}", t)
            else:
                self.file(f"{base}/{rel}", size, t)

    def link(self, rel: str, target: str):
        os.symlink(target, self.p(rel))

    def finish(self):
        # Directory times last: creating entries inside a directory moves its own.
        for rel, t in sorted(self.times.items(), key=lambda kv: -kv[0].count("/")):
            os.utime(self.p(rel), (t, t), follow_symlinks=False)


def basic(b: Builder):
    b.dir("basic")
    b.file("basic/a.txt", 10)
    b.file("basic/MiXeD.Txt", 3)
    b.file("basic/.hidden", 1)
    b.file("basic/ro.txt", 2, mode=0o444)
    b.file("basic/plain.txt", 4, mode=0o600)
    b.dir("basic/sub")
    b.file("basic/sub/s1.txt", 5)
    b.dir("basic/sub/deeper")
    b.file("basic/sub/deeper/d1.txt", 6)


BASIC_TOP = ["a.txt", "MiXeD.Txt", ".hidden", "ro.txt", "plain.txt", "sub"]
BASIC_ALL = BASIC_TOP + ["sub/s1.txt", "sub/deeper", "sub/deeper/d1.txt"]


def blanks_and_quotes(b: Builder):
    b.dir("blanks")
    b.file("blanks/a b.txt")
    b.file("blanks/plain.txt")
    b.dir("blanks/blank dir")
    b.file("blanks/blank dir/in.txt")
    if b.mode == "native":
        # A Windows file name cannot hold a double quote.
        b.file('blanks/say "hi" now.txt')
        b.file('blanks/q"x.txt')


def blanks_entries(mode: str) -> list[str]:
    names = ["a b.txt", "plain.txt", "blank dir", "blank dir/in.txt"]
    if mode == "native":
        names += ['say "hi" now.txt', 'q"x.txt']
    return names


def dollar_and_percent(b: Builder):
    b.dir("dollars")
    for name in DOLLAR_NAMES:
        b.file("dollars/" + name)
    b.dir("dollars/-dash")
    b.file("dollars/-dash/x.txt")
    # Single-entry directories: the exact line of one name.
    b.dir("onedate")
    b.file("onedate/r$DATE.txt")
    b.dir("oneself")
    b.file("oneself/$SELF.txt")
    b.dir("onepct")
    b.file("onepct/%TVX_E2E_VAR%.txt")


DOLLAR_NAMES = ["$DATE.txt", "$SHORT", "100%.txt", "%TVX_E2E_VAR%.txt", "a%b%c", "-R", "--help", "-h"]


# One tree, as it is made and as the cases expect it: (path, size or None
# for a directory).
NESTED = [("top.txt", 1), ("x", None), ("x/f1.txt", 1), ("x/y", None), ("x/y/f2.txt", 1),
          ("x/y/z", None), ("x/y/z/f3.txt", 1), ("x/y2", None), ("x/y2/g.txt", 1), ("w", None),
          ("v", None), ("v/h.txt", 1), ("v/u", None), ("v/u/i.txt", 1)]
NESTED_ALL = [rel for rel, _ in NESTED]
NESTED_DIRS = {rel for rel, size in NESTED if size is None}


def nested(b: Builder):
    b.tree("nested", NESTED)


def empty(b: Builder):
    b.dir("empty")


def single_entries(b: Builder):
    for d, name, t in [("one", "only.txt", T_DEFAULT), ("onepm", "pm.txt", T_PM),
                       ("onemid", "mid.txt", T_MIDNIGHT), ("oneearly", "early.txt", T_EARLY),
                       ("onenoon", "noon.txt", T_NOON), ("onede", "de.txt", T_DE),
                       ("oneblank", "x y.txt", T_DEFAULT)]:
        b.dir(d)
        b.file(f"{d}/{name}", 10, t=t)


def links(b: Builder):
    b.dir("links")
    b.dir("links/target")
    b.file("links/target/t.txt")
    b.link("links/dlink", "target")
    b.link("links/flink", "target/t.txt")
    b.link("links/dangling", "nowhere")
    b.link("links/loop", ".")


def dir_trees(b: Builder):
    b.dir("dkb")
    b.file("dkb/k.bin", 1536)
    b.dir("d1048000")
    b.file("d1048000/f.bin", 1048000)
    b.dir("d1048001")
    b.file("d1048001/f.bin", 1048001)
    b.dir("dbig")
    b.sparse("dbig/big.bin", 3 * 1024 ** 3)
    b.dir("dmix")
    b.file("dmix/short.txt", 1234567, t=T_PM)
    b.file("dmix/" + NAME35, 999)
    b.file("dmix/" + NAME31, 7)
    b.file("dmix/a name with blanks.txt", 5)
    b.file("dmix/MiXeD.TXT", 0)
    b.dir("dmix/sub")
    b.file("dmix/sub/in.txt", 100)
    b.dir("dde")
    b.file("dde/de.bin", 1234567, t=T_DE)
    b.dir("dquote")
    for name in DQUOTE:
        b.file("dquote/" + name, 1)


# Names that a shell or cmd would want quoted; DIR quotes only the blank.
DQUOTE = ["a&b.txt", "it's", "p(1)=x.txt", "two words.txt"]


def sjis(b: Builder):
    b.dir("sjis")
    b.dir("sjis/" + SJIS_DIR)
    b.file(f"sjis/{SJIS_DIR}/f.txt")
    b.file(f"sjis/{SJIS_LOWER_TRAIL}a.txt")
    b.file(f"sjis/{SJIS_UPPER_TRAIL}B.txt")
    b.dir("sjisq")
    b.file(f"sjisq/{SJIS_QUOTE_TRAILS}.txt")


# Names outside one code page or another, each file of its own size so that a
# line can be checked to name the right one: "ä" is in code page 1252 but not
# in 932, "日本" the other way round, "€" and "𝄞" (outside the Basic
# Multilingual Plane: a surrogate pair in UTF-16) in neither; "a.txt" is the
# look-alike that a best-fit conversion of "ä.txt" would name.
UNI_SIZES = {"a.txt": 2, "ä.txt": 1, "𝄞.txt": 3, "€dir": None, "€dir/x.txt": 6, "日本": None,
             "日本/サブ": None, "日本/サブ/ファイル.txt": 4}


def outside_code_page(b: Builder):
    b.tree("uni", UNI_SIZES.items())


def permissions(b: Builder):
    # Used natively by an unprivileged user: "closed" cannot be entered,
    # "unreadable" can be entered but not read.
    b.tree("perm", [("a.txt", 1), ("closed", None), ("closed/hidden.txt", 1)])
    b.tree("perm2", [("a.txt", 1), ("unreadable", None), ("unreadable/inside.txt", 1)])
    # A closed directory in the middle of a tree, for /C.
    b.tree("permc", [("top.txt", 1), ("a", None), ("a/in.txt", 1), ("closed", None),
                     ("closed/hidden.txt", 1), ("z", None), ("z/deep", None), ("z/deep/in.txt", 1)])


def du_trees(b: Builder):
    # Hard links in one directory and across two, a sparse file, a link and
    # a directory closed to others.
    b.dir("dut")
    b.file("dut/top.bin", 1000)
    b.dir("dut/a")
    b.file("dut/a/f.txt", 5)
    b.dir("dut/a/b")
    b.file("dut/a/b/big.bin", 10000)
    os.link(b.p("dut/a/b/big.bin"), b.p("dut/a/b/twin.bin"))
    b.dir("dut/c")
    b.sparse("dut/c/sparse.bin", 5 * 1024 * 1024)
    os.link(b.p("dut/top.bin"), b.p("dut/c/far.bin"))
    b.link("dut/lnk", "a")
    b.dir("dut/shut")
    b.file("dut/shut/x.txt", 7)
    # Sizes the directory read tells on both systems.
    b.tree("dus", [("a.txt", 10), ("sub", None), ("sub/b.txt", 20), ("sub/deep", None),
                   ("sub/deep/c.txt", 30), ("z", None)])


def lock_permissions(root: str):
    os.chmod(os.path.join(root, "perm/closed"), 0o000)
    os.chmod(os.path.join(root, "perm2/unreadable"), 0o711)
    os.chmod(os.path.join(root, f"wideshut/a{WIDE - 1}/b{WIDE - 2}/c1/barred"), 0o000)
    os.chmod(os.path.join(root, "permc/closed"), 0o000)
    os.chmod(os.path.join(root, "topstop/x/closed"), 0o000)
    os.chmod(os.path.join(root, "dut/shut"), 0o000)


def many(b: Builder):
    b.dir("many")
    for i in range(MANY_FILES):
        b.file(f"many/file-{i:04d}.txt", 1)


def turns(b: Builder):
    for sub in ("a", "b", "c"):
        b.dir(f"turns/{sub}")
        for i in range(TURNS_FILES):
            b.file(f"turns/{sub}/f {i:04d}", i % 7)


def wide(b: Builder):
    # Enough directories, three levels deep, for reads to run far ahead of
    # the walk; "wideshut" holds one directory refused late in its walk.
    for top in ("wide", "wideshut"):
        b.dir(top)
        for i in range(WIDE):
            b.dir(f"{top}/a{i}")
            b.file(f"{top}/a{i}/f.txt", i)
            for j in range(WIDE):
                b.dir(f"{top}/a{i}/b{j}")
                for k in range(3):
                    b.dir(f"{top}/a{i}/b{j}/c{k}")
                    b.file(f"{top}/a{i}/b{j}/c{k}/g.txt", k)
    b.dir(f"wideshut/a{WIDE - 1}/b{WIDE - 2}/c1/barred")
    b.file(f"wideshut/a{WIDE - 1}/b{WIDE - 2}/c1/barred/h.txt")
    # Through the slow file system: reading "broken" fails at once,
    # "brokenlate" after its first entries, and closing "flushfails" after
    # writing it fails as a share over quota does.
    b.dir("faults")
    b.dir("faults/first")
    b.dir("faults/first/broken")
    b.file("faults/first/broken/x.txt")
    b.dir("faults/late")
    b.dir("faults/late/brokenlate")
    for i in range(LATE_ENTRIES):
        b.file(f"faults/late/brokenlate/y{i}.txt")
    b.file("faults/flushfails")
    b.dir("faults/ok")
    b.file("faults/ok/f.txt")


LATE_ENTRIES = 60


T_OLD = utc(2020, 1, 1, 10, 0, 0)
T_FUTURE = utc(2090, 1, 1, 10, 0, 0)


def choose(b: Builder):
    # Names, kinds, ages and sizes for the filters that choose entries.
    b.dir("choose")
    b.file("choose/a.jpg", 20)
    b.file("choose/b.JPG", 30)
    b.file("choose/ro.txt", 2, mode=0o444)
    b.file("choose/\u00e9.txt", 1)
    b.sparse("choose/big.bin", 1024 ** 3 + 1)
    for d in (".git", "build", "src", "src/gen", "lib", "lib/gen", "logs", "deep", "deep/d2"):
        b.dir("choose/" + d)
    b.file("choose/.git/config")
    b.file("choose/build/out.o")
    b.file("choose/src/main.c")
    b.file("choose/src/gen/g.c")
    b.file("choose/lib/gen/l.c")
    b.file("choose/logs/old.log", 3, t=T_OLD)
    b.file("choose/logs/new.log", 4, t=T_FUTURE)
    b.file("choose/deep/d2/f.txt")


# The "top" tree: (path, size or None for a directory, minutes after T_TOP).
# Sizes above 0 and times differ, so that every order has one answer
# whatever the directories' enumeration order.
T_TOP = utc(2024, 5, 6, 7, 0, 0)
TOP_ENTRIES = [("a.bin", 30, 11), ("B.txt", 5, 15), ("c", None, 1), ("c/d.dat", 100, 13),
               ("c/e.txt", 0, 17), ("c/f", None, 2), ("g", None, 3), ("g/h.log", 7, 12),
               ("g/i.TXT", 50, 16), ("g/j", None, 4), ("g/j/k", 1, 14), ("empty", None, 5),
               ("zero", 0, 18), ("\u00c9.md", 2, 19)]


def top(b: Builder):
    b.dir("top")
    for rel, size, minutes in TOP_ENTRIES:
        if size is None:
            b.dir("top/" + rel, t=T_TOP + 60 * minutes)
        else:
            b.file("top/" + rel, size, t=T_TOP + 60 * minutes)
    # One entry a directory, the last one closed: a walk that ends after
    # two entries never meets it.
    b.dir("topstop")
    b.dir("topstop/x")
    b.dir("topstop/x/closed")
    b.file("topstop/x/closed/in.txt")


CHOOSE_ALL = ["a.jpg", "b.JPG", "ro.txt", "\u00e9.txt", "big.bin", ".git", ".git/config", "build", "build/out.o",
              "src", "src/main.c", "src/gen", "src/gen/g.c", "lib", "lib/gen", "lib/gen/l.c",
              "logs", "logs/old.log", "logs/new.log", "deep", "deep/d2", "deep/d2/f.txt"]


BUILDERS = [basic, blanks_and_quotes, dollar_and_percent, nested, empty, single_entries, links,
            dir_trees, sjis, outside_code_page, permissions, many, turns, wide, choose, top,
            du_trees]


def build_all(root: str, mode: str):
    os.makedirs(root)
    b = Builder(root, mode)
    for build in BUILDERS:
        build(b)
    b.finish()
    lock_permissions(root)
