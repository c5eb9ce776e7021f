"""Choosing entries: name patterns, exclusions, levels, ages, sizes and
attributes, the same for LIST, DIR and STAT, over the "choose" tree."""

from __future__ import annotations

from e2e_base import E2E
from texts import BANNER
from trees import CHOOSE_ALL, SJIS_DIR, SJIS_LOWER_TRAIL, SJIS_UPPER_TRAIL

STAMP_BIG = "2023/03/05 09:05:06"


DIRS = {".git", "build", "src", "src/gen", "lib", "lib/gen", "logs", "deep", "deep/d2"}
FILES = [r for r in CHOOSE_ALL if r not in DIRS]


def without(*tops):
    return [r for r in CHOOSE_ALL if r.split("/")[0] not in tops]


class ChooseEntries(E2E):
    def test_list_chooses_by_every_filter(self):
        windows = self.c.wine
        rows = [
            # Letter case is ignored on Windows alone.
            (["/M:*.jpg"], ["a.jpg", "b.JPG"] if windows else ["a.jpg"]),
            (["/m=*.c;*.JPG"], ["b.JPG", "src/main.c", "src/gen/g.c", "lib/gen/l.c"]
             + (["a.jpg"] if windows else [])),
            (["/M:*.*", "/X:.git;build"], without(".git", "build")),
            # A path leaves out that one directory; /X wins over /M.
            (["/EXCLUDE:src/gen", "/M:*.c"], ["src/main.c", "lib/gen/l.c"]),
            (["/LEV:1"], ["a.jpg", "b.JPG", "ro.txt", "\u00e9.txt", "big.bin", ".git", "build",
                          "src", "lib", "logs", "deep"]),
            # One "?" for one character, of one byte or of two.
            (["/M:?.txt"], ["\u00e9.txt", "deep/d2/f.txt"]),
            (["/LEVELS=2", "/M:d*;f*"], ["deep", "deep/d2"]),
            (["/MINAGE:30", "/A:-D"], [r for r in FILES if r != "logs/new.log"]),
            (["/MAXAGE:20300101"], ["logs/new.log"]),
            (["/MAXAGE:20200101", "/MINAGE:20200102", "/A:-D"], ["logs/old.log"]),
            (["/MIN:1g"], ["big.bin"]),
            (["/MIN:21", "/MAX:1K"], ["b.JPG"]),
            # Units as people write them: KB, MB, GB powers of 1000, KiB of 1024.
            (["/MIN:1GB", "/MAX:1074mb"], ["big.bin"]),
            (["/MIN:21", "/MAX:1kib"], ["b.JPG"]),
            (["/A:R-D"], ["ro.txt"]),
        ]
        for args, rels in rows:
            with self.subTest(args=args):
                self.assert_listing(["LIST", self.c.abs("choose"), "/R"] + args, "choose", rels)
        # /D keeps its meaning; a pattern never stops the walk.
        self.assert_listing(["LIST", self.c.abs("choose"), "/LEV:3", "/D", "/X:.git;build;lib"],
                            "choose", [r for r in without(".git", "build", "lib") if r not in DIRS])

    def test_patterns_take_whole_characters(self):
        # Under Wine in code page 932 the trail bytes are "\\", "a" and "A": the
        # first makes no path of the pattern, the others are no letters.
        rows = [(["/X:" + SJIS_DIR], [f"{SJIS_LOWER_TRAIL}a.txt", f"{SJIS_UPPER_TRAIL}B.txt"]),
                (["/M:?"], [SJIS_DIR]),
                ([f"/M:{SJIS_LOWER_TRAIL}*"], [f"{SJIS_LOWER_TRAIL}a.txt"])]
        for args, rels in rows:
            with self.subTest(args=args):
                self.assert_listing(["LIST", self.c.abs("sjis"), "/R"] + args, "sjis", rels,
                                    locale="ja_JP.UTF-8")

    def test_dir_and_stat_count_the_chosen_entries(self):
        res = self.c.run(["DIR", self.c.abs("choose"), "/R", "/MIN:1G"])
        self.c.check_dir(res, [("choose/big.bin", STAMP_BIG, 1024 ** 3 + 1, "big.bin")], 1,
                         1024 ** 3 + 1, "MB", self.c.unix("choose"))
        self.assert_output(["STAT", self.c.abs("choose"), "/R", "/M:*.c", "/X:lib"],
                           f"{BANNER}\nROOT {self.c.full('choose')} FileCount=2\n")

    def test_excluded_and_last_level_directories_are_not_entered(self):
        for args in (["/R", "/X:closed"], ["/LEV:1"]):
            with self.subTest(args=args):
                res = self.run_unprivileged(["LIST", self.c.abs("permc")] + args)
                self.c.check_status(res, 0)

    def test_bad_values_stop_the_run(self):
        # The values themselves are the unit tests' rows.
        for typed in ("/LEV:0", "/MAXAGE:20260230"):
            with self.subTest(typed=typed):
                self.assert_failure(["LIST", self.c.abs("choose"), "/R", typed],
                                    f"Invalid value [{typed}]")
