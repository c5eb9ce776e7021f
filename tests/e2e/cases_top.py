"""The first n entries of a whole tree (/TOP), letter case ignored (/I) and
empty entries (/A:E), over the "top" tree."""

from __future__ import annotations

import os

from e2e_base import E2E
from texts import BANNER
from trees import T_TOP, TOP_ENTRIES

SIZE = {rel: size for rel, size, _ in TOP_ENTRIES}
TIME = {rel: T_TOP + 60 * minutes for rel, _, minutes in TOP_ENTRIES}
FILES = [rel for rel, size, _ in TOP_ENTRIES if size is not None]


class TopAndCase(E2E):
    def lines(self, args, **kw) -> list[str]:
        res = self.c.run(["LIST", self.c.abs("top")] + args, **kw)
        self.c.check_status(res, 0)
        return [line.decode(self.c.encoding()) for line in self.c.split_lines(res)]

    def full(self, rels) -> list[str]:
        return [self.c.full("top/" + rel) for rel in rels]

    def test_top_is_the_head_of_the_whole_tree_sorted(self):
        # Each row's answer is a sort of the whole tree as the file system
        # has it; no two entries tie on the key.
        name_key = (lambda r: os.path.basename(r).upper()) if self.c.wine else os.path.basename
        rows = [
            (["/D", "/O:-S", "/TOP:4"], sorted(FILES, key=lambda r: -SIZE[r])[:4]),
            (["/D", "/O:S", "/MIN:1", "/TOP:3"], sorted([r for r in FILES if SIZE[r]], key=SIZE.get)[:3]),
            (["/O:-D", "/TOP:5"], sorted(TIME, key=lambda r: -TIME[r])[:5]),
            (["/D", "/O:D", "/TOP:3", "/C"], sorted(FILES, key=TIME.get)[:3]),
            (["/O:N", "/TOP:6"], sorted(TIME, key=lambda r: name_key(r).encode())[:6]),
        ]
        for args, want in rows:
            with self.subTest(args=args):
                self.assertEqual(self.lines(["/R"] + args), self.full(want))
        # More than the tree holds: all of it, the two empty files last in
        # the order the walk met them.
        whole = self.lines(["/R"])
        got = self.lines(["/R", "/D", "/O:-S", "/TOP:100"])
        self.assertEqual(got[:-2], self.full(sorted([r for r in FILES if SIZE[r]], key=lambda r: -SIZE[r])))
        self.assertEqual(got[-2:], [line for line in whole if line in self.full(["c/e.txt", "zero"])])

    def test_top_without_an_order_is_the_walks_first_entries(self):
        whole = self.lines(["/R"])
        for n in (1, 4, 9):
            with self.subTest(n=n):
                self.assertEqual(self.lines(["/R", f"/TOP:{n}"]), whole[:n])
                self.assertEqual(self.lines(["/R", "/C", f"/TOP={n}"]), whole[:n])
        files = [line for line in whole if line in self.full(FILES)]
        self.assertEqual(self.lines(["/R", "/D", "/TOP:3"]), files[:3])
        # DIR's count and total, and STAT's count, are those of the entries written.
        res = self.c.run(["DIR", self.c.abs("top"), "/R", "/O:-S", "/TOP:2"])
        self.c.check_status(res, 0)
        self.assertIn(" 2 files exists. 0 KB (150 bytes)", res.out.decode("ascii", "replace"))
        self.assert_output(["STAT", self.c.abs("top"), "/R", "/TOP:5"],
                           f"{BANNER}\nROOT {self.c.full('top')} FileCount=5\n")
        self.assert_output(["STAT", self.c.abs("top"), "/R", "/TOP:500", "/O:N"],
                           f"{BANNER}\nROOT {self.c.full('top')} FileCount={len(TOP_ENTRIES)}\n")

    def test_the_walk_ends_at_the_nth_entry(self):
        # topstop holds x, which holds only "closed": entering it fails, so a
        # run succeeds only if the walk ends before it.
        stop = self.c.abs("topstop")
        res = self.run_unprivileged(["LIST", stop, "/R", "/TOP:2"])
        self.c.check_exact(res, self.c.full("topstop/x") + "\n" + self.c.full("topstop/x/closed") + "\n")
        res = self.run_unprivileged(["LIST", stop, "/R", "/TOP:3"])
        self.assertEqual(res.rc, 1, res.describe())

    def test_ignore_case(self):
        jpg = ["B.txt", "c/e.txt", "g/i.TXT"]
        rows = [
            (["/R", "/M:*.txt", "/I"], jpg),
            (["/R", "/M:*.txt"], jpg if self.c.wine else ["B.txt", "c/e.txt"]),
            (["/R", "/X:G;C", "/IGNORECASE"], ["a.bin", "B.txt", "empty", "zero", "\u00c9.md"]),
            # Windows folds ASCII letters alone, with or without /I.
            (["/M:\u00e9*", "/I"], [] if self.c.wine else ["\u00c9.md"]),
        ]
        for args, rels in rows:
            with self.subTest(args=args):
                self.assertEqual(sorted(self.lines(args)), sorted(self.full(rels)))
        ordered = ["a.bin", "B.txt", "c"]
        self.assertEqual(self.lines(["/O:N", "/I"])[:3], self.full(ordered))
        self.assertEqual(self.lines(["/O:N"])[:3],
                         self.full(ordered if self.c.wine else ["B.txt", "a.bin", "c"]))

    def test_empty_entries(self):
        rows = [
            (["/R", "/A:E"], ["c/e.txt", "c/f", "empty", "zero"]),
            (["/R", "/A:DE", "/C"], ["c/f", "empty"]),
            # Read to be known, though not entered.
            (["/A:DE"], ["empty"]),
            (["/R", "/A:-E-D"], [r for r in FILES if SIZE[r]]),
            (["/R", "/A:D-E"], ["c", "g", "g/j"]),
        ]
        for args, rels in rows:
            with self.subTest(args=args):
                self.assert_listing(["LIST", self.c.abs("top")] + args, "top", rels)

    def test_bad_values(self):
        for typed in ("/TOP:0", "/TOP:-1", "/TOP:x", "/TOP:1.5", "/TOP=", "/TOP", "/A:EX"):
            with self.subTest(typed=typed):
                self.assert_failure(["LIST", self.c.abs("top"), "/R", typed], f"Invalid value [{typed}]")
