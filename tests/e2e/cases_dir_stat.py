"""DIR (table, totals, drive space, banner) and STAT (full path and count)."""

from __future__ import annotations

from e2e_base import E2E, NotApplicable
from compare import dir_quoted
from harness import ascii_lower, ascii_upper
from texts import BANNER
from trees import (BASIC_ALL, BASIC_TOP, DQUOTE, NAME31, NAME35, SJIS_DIR, SJIS_LOWER_TRAIL,
                   SJIS_UPPER_TRAIL, UNI_SIZES)

STAMP = "2023/03/05 09:05:06"      # the trees' default time, odd second cut
STAMP_PM = "2023/11/14 14:46:24"

DMIX = [  # tree path, stamp, size, name as listed
    ("dmix/short.txt", STAMP_PM, 1234567, "short.txt"),
    ("dmix/" + NAME35, STAMP, 999, NAME35),
    ("dmix/" + NAME31, STAMP, 7, NAME31),
    ("dmix/a name with blanks.txt", STAMP, 5, "a name with blanks.txt"),
    ("dmix/MiXeD.TXT", STAMP, 0, "MiXeD.TXT"),
    ("dmix/sub", STAMP, 0, "sub"),
]
DMIX_SUB = [("dmix/sub/in.txt", STAMP, 100, "in.txt")]


def shown(rows, display):
    return [(p, stamp, size, display(name)) for p, stamp, size, name in rows]


class DirTotals(E2E):
    def dir(self, d, table, count, total, unit, args=()):
        res = self.c.run(["DIR", self.c.abs(d)] + list(args))
        self.c.check_dir(res, table, count, total, unit, self.c.unix(d))

    def test_truncated_kilobytes(self):
        # 1536 bytes are 1 KB, not 2.
        self.dir("dkb", [("dkb/k.bin", STAMP, 1536, "k.bin")], 1, 1536, "KB")

    def test_megabyte_boundary(self):
        self.dir("d1048000", [("d1048000/f.bin", STAMP, 1048000, "f.bin")], 1, 1048000, "KB")
        self.dir("d1048001", [("d1048001/f.bin", STAMP, 1048001, "f.bin")], 1, 1048001, "MB")

    def test_file_beyond_4_gib_boundary_of_32_bits(self):
        big = 3 * 1024 ** 3
        self.dir("dbig", [("dbig/big.bin", STAMP, big, "big.bin")], 1, big, "MB")

    def test_empty_directory(self):
        self.dir("empty", [], 0, 0, "KB")
        self.dir("empty", [], 0, 0, "KB", args=["/R"])

    def test_command_word_spellings(self):
        for word in ("D", "d", "dir", "Dir"):
            with self.subTest(word=word):
                res = self.c.run([word, self.c.abs("dkb")])
                self.c.check_dir(res, [("dkb/k.bin", STAMP, 1536, "k.bin")], 1, 1536, "KB",
                                 self.c.unix("dkb"))


class DirTable(E2E):
    def dir(self, args, table, count, total, **kw):
        res = self.c.run(["DIR", self.c.abs("dmix")] + list(args), **kw)
        self.c.check_dir(res, table, count, total, "MB", self.c.unix("dmix"))

    def test_table_non_recursive(self):
        # Directories show size 0; short names are padded to 30 columns, longer
        # ones printed whole; names with blanks quoted.
        self.dir([], shown(DMIX, dir_quoted), 6, 1235578)

    def test_table_recursive(self):
        self.dir(["/R"], shown(DMIX + DMIX_SUB, dir_quoted), 7, 1235678)

    def test_letter_case_and_quoting(self):
        self.dir(["/L"], shown(DMIX, lambda n: dir_quoted(ascii_lower(n))), 6, 1235578)
        self.dir(["/U"], shown(DMIX, lambda n: dir_quoted(ascii_upper(n))), 6, 1235578)
        self.dir(["/U", "/L"], shown(DMIX, lambda n: dir_quoted(ascii_lower(n))), 6, 1235578)
        self.dir(["/Q"], shown(DMIX, lambda n: n), 6, 1235578)

    def test_list_only_switches_change_nothing(self):
        self.dir(["/F", "/D", "/P=echo", "/S=$SHORT"], shown(DMIX, dir_quoted), 6, 1235578)
        self.dir(["/NODIR", "/R", "/FILENAMEONLY"], shown(DMIX + DMIX_SUB, dir_quoted), 7, 1235678)

    def test_german_separators(self):
        res = self.c.run(["DIR", self.c.abs("dde")], locale="de_DE.UTF-8")
        self.c.check_dir(res, [("dde/de.bin", "2023.11.14 09:05:06", 1234567, "de.bin")], 1, 1234567, "MB",
                         self.c.unix("dde"), thousands=".")

    def test_only_a_blank_asks_for_quotes(self):
        # The table is for people: "&", "'", "(" and "=" ask for no quotes on either system.
        rows = [(f"dquote/{n}", STAMP, 1, dir_quoted(n)) for n in DQUOTE]
        res = self.c.run(["DIR", self.c.abs("dquote")])
        self.c.check_dir(res, rows, len(rows), len(rows), "KB", self.c.unix("dquote"))

    def test_utf8_names_are_padded_by_columns(self):
        if self.c.wine:
            raise NotApplicable("the console's code page: double-byte characters, padded by bytes")
        rows = [(f"uni/{rel}", STAMP, size or 0, rel.split("/")[-1])
                for rel, size in UNI_SIZES.items() if "/" not in rel]
        res = self.c.run(["DIR", self.c.abs("uni")])
        total = sum(size for _, _, size, _ in rows)
        self.c.check_dir(res, rows, len(rows), total, "KB", self.c.unix("uni"))

    def test_double_byte_names_are_padded_by_bytes(self):
        rows = [(f"sjis/{SJIS_DIR}", STAMP, 0, SJIS_DIR),
                (f"sjis/{SJIS_LOWER_TRAIL}a.txt", STAMP, 1, f"{SJIS_LOWER_TRAIL}a.txt"),
                (f"sjis/{SJIS_UPPER_TRAIL}B.txt", STAMP, 1, f"{SJIS_UPPER_TRAIL}B.txt")]
        res = self.c.run(["DIR", self.c.abs("sjis"), "/U"], locale="ja_JP.UTF-8")
        self.c.check_dir(res, shown(rows, ascii_upper), 3, 2, "KB", self.c.unix("sjis"))


class Stat(E2E):
    def stat(self, args, path_rel, count, **kw):
        res = self.c.run(["STAT"] + list(args), **kw)
        self.c.check_exact(res, f"{BANNER}\nROOT {self.c.full(path_rel)} FileCount={count}\n")

    def test_counts(self):
        self.stat([self.c.abs("basic")], "basic", len(BASIC_TOP))
        self.stat([self.c.abs("basic"), "/R"], "basic", len(BASIC_ALL))
        self.stat([self.c.abs("empty")], "empty", 0)
        self.stat([self.c.abs("empty"), "/R"], "empty", 0)

    def test_current_and_relative_directories(self):
        cwd = self.c.unix("basic")
        self.stat([], "basic", len(BASIC_TOP), cwd=cwd)
        self.stat(["."], "basic", len(BASIC_TOP), cwd=cwd)
        self.stat(["sub"], "basic/sub", 2, cwd=cwd)
        self.stat(["sub", "/R"], "basic/sub", 3, cwd=cwd)
        self.stat([self.c.rel("sub/deeper")], "basic/sub/deeper", 1, cwd=cwd)
        self.stat([self.c.rel("sub/..")], "basic", len(BASIC_TOP), cwd=cwd)
        # A typed final separator stays.
        self.stat([self.c.rel("sub/")], "basic/sub/", 2, cwd=cwd)

    def test_list_switches_change_nothing(self):
        self.stat([self.c.abs("basic"), "/R", "/D", "/F", "/U", "/L", "/Q"], "basic", len(BASIC_ALL))

    def test_command_word_spellings(self):
        for word in ("S", "s", "stat", "Stat"):
            with self.subTest(word=word):
                res = self.c.run([word, self.c.abs("empty")])
                self.c.check_exact(res, f"{BANNER}\nROOT {self.c.full('empty')} FileCount=0\n")
