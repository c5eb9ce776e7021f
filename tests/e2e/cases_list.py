"""LIST: displayed names, quoting, letter case, macros, dates and times per locale."""

from __future__ import annotations

import os
import shutil
import subprocess

from e2e_base import E2E, only
from harness import ascii_lower, ascii_upper
from texts import BANNER
from trees import (BASIC_ALL, DOLLAR_NAMES, SJIS_DIR, SJIS_LOWER_TRAIL, SJIS_QUOTE_TRAILS,
                   SJIS_UPPER_TRAIL, UNI_SIZES, blanks_entries)


def short(path: str) -> str:
    return path.rsplit("/", 1)[1]


class Quoting(E2E):
    def test_full_names_with_blanks_are_quoted(self):
        self.assert_listing(["LIST", self.c.abs("blanks"), "/R"], "blanks", blanks_entries(self.c.mode),
                            fmt=lambda p: self.c.quoted(self.c.full(p)))

    def test_noquote(self):
        for sw in ("/Q", "/NOQUOTE", "/q"):
            with self.subTest(switch=sw):
                self.assert_listing(["LIST", self.c.abs("blanks"), "/R", sw], "blanks",
                                    blanks_entries(self.c.mode), fmt=self.c.full)

    def test_bare_names(self):
        self.assert_listing(["LIST", self.c.abs("blanks"), "/R", "/F"], "blanks", blanks_entries(self.c.mode),
                            fmt=lambda p: self.c.quoted(short(p)))
        self.assert_listing(["LIST", self.c.abs("blanks"), "/R", "/FILENAMEONLY", "/Q"], "blanks",
                            blanks_entries(self.c.mode), fmt=short)

    @only("native", "a Windows file name cannot hold a double quote")
    def test_double_quotes_are_quoted_whole(self):
        d = self.c.abs("blanks")
        res = self.c.run(["LIST", d, "/F"])
        self.c.check_entries(res, [("blanks/a b.txt", "'a b.txt'"), ("blanks/plain.txt", "plain.txt"),
                                   ("blanks/blank dir", "'blank dir'"),
                                   ("blanks/say \"hi\" now.txt", "'say \"hi\" now.txt'"),
                                   ("blanks/q\"x.txt", "'q\"x.txt'")])

    def test_full_and_short_macros_are_quoted_for_their_word(self):
        # Quoted like the others, keeping their stored case; for cmd the
        # whole word they stand in is quoted.
        res = self.c.run(["LIST", self.c.abs("oneblank"), "/P=[$FULL][$SHORT][$SELF]", "/S=<$SHORT>", "/U"])
        full = self.c.full("oneblank/x y.txt")
        q = self.c.quoted(full.upper())
        if self.c.wine:
            self.c.check_exact(res, f'"[{full}][x y.txt][{full.upper()}]" {q} <"x y.txt">\n')
        else:
            self.c.check_exact(res, f"['{full}']['x y.txt'][{q}] {q} <'x y.txt'>\n")


class LetterCase(E2E):
    def test_upper_lower_and_both(self):
        d = self.c.abs("basic")
        up = lambda p: ascii_upper(self.c.full(p))
        low = lambda p: ascii_lower(self.c.full(p))
        self.assert_listing(["LIST", d, "/R", "/U"], "basic", BASIC_ALL, fmt=up)
        self.assert_listing(["LIST", d, "/R", "/UPPER"], "basic", BASIC_ALL, fmt=up)
        self.assert_listing(["LIST", d, "/R", "/L"], "basic", BASIC_ALL, fmt=low)
        self.assert_listing(["LIST", d, "/R", "/U", "/L"], "basic", BASIC_ALL, fmt=low)
        self.assert_listing(["LIST", d, "/R", "/LOWER", "/UPPER"], "basic", BASIC_ALL, fmt=low)

    def test_case_then_quote_with_bare_names(self):
        self.assert_listing(["LIST", self.c.abs("blanks"), "/R", "/F", "/U"], "blanks",
                            blanks_entries(self.c.mode), fmt=lambda p: self.c.quoted(ascii_upper(short(p))))

    def test_macros_other_than_self_keep_the_case(self):
        res = self.c.run(["LIST", self.c.abs("basic"), "/U", "/P=$SHORT|$FULL|$SELF"])
        fmt = lambda p: f"{short(p)}|{self.c.full(p)}|{ascii_upper(self.c.full(p))} {ascii_upper(self.c.full(p))}"
        self.c.check_entries(res, self.lines_of("basic", ["a.txt", "MiXeD.Txt", ".hidden", "ro.txt",
                                                          "plain.txt", "sub"], fmt))


class Macros(E2E):
    def one(self, args, expected_prefix="", expected_suffix="", d="one", name="only.txt", **kw):
        res = self.c.run(["LIST", self.c.abs(d)] + args, **kw)
        self.c.check_exact(res, expected_prefix + self.c.full(f"{d}/{name}") + expected_suffix + "\n")

    def test_self_full_short(self):
        full = self.c.full("one/only.txt")
        self.one(["/P=$SELF", "/S=$SHORT"], full + " ", " only.txt")
        res = self.c.run(["LIST", self.c.abs("one"), "/F", "/P=$SELF|$FULL|$SHORT"])
        self.c.check_exact(res, f"only.txt|{full}|only.txt only.txt\n")

    def test_copy_command_line(self):
        res = self.c.run(["LIST", self.c.abs("one"), "/F", "/P=echo $SHORT"])
        self.c.check_exact(res, "echo only.txt only.txt\n")

    def test_other_words_and_other_case_stay(self):
        self.one(["/P=$self $Date $FOO $ $SHORTY"], "$self $Date $FOO $ only.txtY ")

    def test_names_from_self_are_never_searched_again(self):
        # What a macro puts in is text: a "$DATE" in a name stays in the line.
        shown = self.c.quoted(self.c.full("onedate/r$DATE.txt"))
        res = self.c.run(["LIST", self.c.abs("onedate"), "/P=$SELF"])
        self.c.check_exact(res, shown + " " + shown + "\n")

    def test_name_holding_its_own_macro_ends(self):
        shown = self.c.quoted(self.c.full("oneself/$SELF.txt"))
        res = self.c.run(["LIST", self.c.abs("oneself"), "/P=$SELF", "/S=$SELF"])
        self.c.check_exact(res, f"{shown} {shown} {shown}\n")

    def test_dollar_and_percent_names_are_shown_as_they_are(self):
        res = self.c.run(["LIST", self.c.abs("dollars"), "/F", "/P=$SHORT:"], env={"TVX_E2E_VAR": "hello"})
        entries = DOLLAR_NAMES + ["-dash"]
        # "$SHORT" inserts the name (quoted on POSIX), and nothing in it is
        # replaced again.
        short = (lambda n: n) if self.c.wine else self.c.quoted
        self.c.check_entries(res, [(f"dollars/{n}", f"{short(n)}: {self.c.quoted(n)}") for n in entries])


# The default time has an odd second: 09:05:07 is shown as 09:05:06.
NATIVE_C = {
    "one": ("03/05/23", "09:05:06"),
    "onepm": ("11/14/23", "14:46:24"),
    "onemid": ("01/02/21", "00:00:00"),
    "oneearly": ("07/08/22", "00:00:02"),
    "onenoon": ("07/08/22", "12:00:10"),
}
WINE_EN_US = {
    "one": ("3/5/2023", "9:05:06 AM"),
    "onepm": ("11/14/2023", "2:46:24 PM"),
    "onemid": ("1/2/2021", "12:00:00 AM"),
    "oneearly": ("7/8/2022", "12:00:02 AM"),
    "onenoon": ("7/8/2022", "12:00:10 PM"),
}
FILES = {"one": "only.txt", "onepm": "pm.txt", "onemid": "mid.txt", "oneearly": "early.txt",
         "onenoon": "noon.txt", "onede": "de.txt"}


class DatesAndTimes(E2E):
    MACROS = "/P=[$DATETIME][$DATE][$TIME]"

    def check_dates(self, table, locale=None):
        for d, (date, time) in table.items():
            with self.subTest(directory=d, locale=locale):
                res = self.c.run(["LIST", self.c.abs(d), self.MACROS], locale=locale)
                # Exactly midnight gives the date alone. A text with a blank
                # stays one word: quoted by itself for sh, its whole word for cmd.
                dt = date if time in ("00:00:00", "12:00:00 AM") else f"{date} {time}"
                self.c.check_exact(res, self.word("[{}][{}][{}]", dt, date, time) + " "
                                   + self.c.full(d + "/" + FILES[d]) + "\n", locale=locale)

    def word(self, shape, *values):
        """One word of the template with its macros' values in it."""
        if not self.c.wine:
            return shape.format(*(self.c.quoted(v) for v in values))
        word = shape.format(*values)
        return f'"{word}"' if any(" " in v for v in values) else word

    def test_default_locale(self):
        # Natively LC_ALL=C: D_FMT "%m/%d/%y" and T_FMT "%H:%M:%S" (24-hour, zero-padded).
        # Under Wine en_US: M/d/yyyy and h:mm:ss with AM/PM behind.
        self.check_dates(WINE_EN_US if self.c.wine else NATIVE_C)

    def test_german(self):
        self.check_dates({"onede": ("14.11.2023", "09:05:06"), "onepm": ("14.11.2023", "14:46:24")},
                         locale="de_DE.UTF-8")

    @only("native", "a glibc locale property")
    def test_german_leading_zeros(self):
        # D_FMT "%d.%m.%Y": day and month with leading zeros.
        self.check_dates({"one": ("05.03.2023", "09:05:06"), "onemid": ("02.01.2021", "00:00:00")},
                         locale="de_DE.UTF-8")

    def test_japanese(self):
        if self.c.wine:
            table = {"one": ("2023/3/5", "9:05:06"), "onepm": ("2023/11/14", "14:46:24")}
        else:
            # D_FMT "%Y年%m月%d日", T_FMT "%H時%M分%S秒": only the 24-hour clock is taken.
            table = {"one": ("2023年03月05日", "09:05:06"), "onepm": ("2023年11月14日", "14:46:24")}
        self.check_dates(table, locale="ja_JP.UTF-8")

    def test_datetime_is_one_macro(self):
        date, time = (WINE_EN_US if self.c.wine else NATIVE_C)["one"]
        res = self.c.run(["LIST", self.c.abs("one"), "/P=$DATETIMEX", "/S=$DATEX$TIMEX"])
        self.c.check_exact(res, self.word("{}X", f"{date} {time}") + f" {self.c.full('one/only.txt')} "
                           + self.word("{}X{}X", date, time) + "\n")


class DoubleByteNames(E2E):
    """Names whose Shift-JIS trail byte is "\\", "a" or "A" (compared as bytes under Wine)."""

    JA = "ja_JP.UTF-8"
    ENTRIES = [SJIS_DIR, f"{SJIS_DIR}/f.txt", f"{SJIS_LOWER_TRAIL}a.txt", f"{SJIS_UPPER_TRAIL}B.txt"]

    def test_recursive_full_names(self):
        self.assert_listing(["LIST", self.c.abs("sjis"), "/R"], "sjis", self.ENTRIES, locale=self.JA)

    def test_directory_ending_in_a_trail_backslash(self):
        d = f"sjis/{SJIS_DIR}"
        self.assert_output(["LIST", self.c.abs(d)], self.c.full(d + "/f.txt") + "\n", locale=self.JA)
        self.assert_output(["LIST", self.c.abs(d), "/P=$FULL|$SHORT|"],
                           f"{self.c.full(d + '/f.txt')}|f.txt| {self.c.full(d + '/f.txt')}\n",
                           locale=self.JA)
        res = self.c.run(["STAT", self.c.abs(d)], locale=self.JA)
        self.c.check_exact(res, f"{BANNER}\nROOT {self.c.full(d)} FileCount=1\n")

    def test_case_mapping_keeps_trail_bytes(self):
        d = self.c.abs("sjis")
        self.assert_listing(["LIST", d, "/R", "/U"], "sjis", self.ENTRIES, locale=self.JA,
                            fmt=lambda p: ascii_upper(self.c.full(p)))
        self.assert_listing(["LIST", d, "/R", "/L"], "sjis", self.ENTRIES, locale=self.JA,
                            fmt=lambda p: ascii_lower(self.c.full(p)))
        self.assert_listing(["LIST", d, "/R", "/F", "/U", "/L"], "sjis", self.ENTRIES, locale=self.JA,
                            fmt=lambda p: ascii_lower(short(p)))

    def test_trail_bytes_never_ask_for_quotes(self):
        # Under code page 932 the trail bytes spell [ ] ^ ` { } ~, which cmd
        # treats specially; they are halves of characters, so no quotes.
        full = self.c.full(f"sjisq/{SJIS_QUOTE_TRAILS}.txt")
        self.assert_output(["LIST", self.c.abs("sjisq")], full + "\n", locale=self.JA)

    def test_relative_directory_from_inside(self):
        self.assert_listing(["LIST", SJIS_DIR], f"sjis/{SJIS_DIR}", ["f.txt"], locale=self.JA,
                            cwd=self.c.unix("sjis"))
        self.assert_listing(["LIST", "."], f"sjis/{SJIS_DIR}", ["f.txt"], locale=self.JA,
                            cwd=self.c.unix(f"sjis/{SJIS_DIR}"))

    def test_missing_directory_message_keeps_the_name(self):
        missing = self.c.abs(f"sjis/{SJIS_DIR}/{SJIS_UPPER_TRAIL}")
        self.assert_failure(["LIST", missing], f"Specified directory [{missing}] is not found.",
                            locale=self.JA)


class NamesOutsideTheCodePage(E2E):
    """Every name reaches the output exactly, as its short name (which names the
    same file) or, with /UTF8, in UTF-8; the walk reaches every entry and no
    line names a different file. Natively names are written as stored, with or
    without /UTF8. /Q: short names hold "~", which cmd's quoting rule quotes."""

    def utf8_lines(self, res) -> list[bytes]:
        self.c.check_status(res, 0)
        return res.out.split(self.c.lb.encode())[:-1]

    def test_every_name_exact_or_by_its_short_name(self):
        everything = sorted(self.c.full("uni/" + r).encode() for r in UNI_SIZES)
        for locale in ("en_US.UTF-8", "ja_JP.UTF-8"):
            with self.subTest(locale=locale):
                res = self.c.run(["LIST", self.c.abs("uni"), "/R", "/Q", "/UTF8"], locale=locale)
                self.assertEqual(sorted(self.utf8_lines(res)), everything, res.describe())
                res = self.c.run(["STAT", self.c.abs("uni"), "/R"], locale=locale)
                self.assertIn(b" FileCount=8" + self.c.lb.encode(), res.out, res.describe())
                res = self.c.run(["LIST", self.c.abs("uni"), "/R", "/Q"], locale=locale)
                if self.c.wine:
                    self.check_exact_or_short(res, locale)
                else:
                    self.assertEqual(sorted(self.utf8_lines(res)), everything, res.describe())
        # Prefix, environment and messages hold any character too.
        sub = "uni/日本/サブ"
        res = self.c.run(["LIST", self.c.abs(sub), "/UTF8", "/P=ŝ%TVX_E2E_U%"],
                         locale="en_US.UTF-8", env={"TVX_E2E_U": "€"})
        self.assertEqual(self.utf8_lines(res), [f"ŝ€ {self.c.full(sub + '/ファイル.txt')}".encode()])
        # So does the current directory's path: exact, or short names under Wine.
        res = self.c.run(["LIST", ".", "/Q", "/UTF8"], cwd=self.c.unix(sub), locale="en_US.UTF-8")
        self.assertEqual(self.utf8_lines(res), [self.c.full(sub + "/ファイル.txt").encode()])
        res = self.c.run(["LIST", ".", "/Q"], cwd=self.c.unix(sub), locale="en_US.UTF-8")
        lines = self.utf8_lines(res)
        if self.c.wine:
            parts = lines[0].decode("cp1252")[len(self.c.full("uni")) + 1:].split("\\")
            self.assertTrue(len(lines) == 1 and len(parts) == 3 and
                            all(p.isascii() and "~" in p for p in parts), res.describe())
        else:
            self.assertEqual(lines, [self.c.full(sub + "/ファイル.txt").encode()])
        # The banner is read from the program's own file, wherever it lies.
        own = os.path.join(self.c.tmp, "bin日本", os.path.basename(self.c.exe))
        os.makedirs(os.path.dirname(own), exist_ok=True)
        shutil.copy2(self.c.exe, own)
        res = self.c.run(["--version"], exe=own, locale="en_US.UTF-8")
        self.assertIn(b"Tarvix ver. 1.02", res.out, res.describe())
        missing = self.c.abs("uni/日本/ない")
        res = self.c.run(["LIST", missing, "/UTF8"], locale="en_US.UTF-8")
        self.assertEqual(res.err, f"Specified directory [{missing}]"
                         f" is not found.{self.c.lb}".encode(), res.describe())

    def check_exact_or_short(self, res, locale: str):
        """Lines and entries pair up one to one: every component is exact where
        the code page holds it and an ASCII short name (with "~") where not,
        one short name per name, and the system finds the named file to be of
        that entry's kind and size."""
        enc = self.c.encoding(locale)
        root = self.c.full("uni") + "\\"
        lines = [line.decode(enc) for line in self.utf8_lines(res)]
        self.assertTrue(all(line.startswith(root) for line in lines), res.describe())
        env, _ = self.c._env(locale, None)
        cmd = subprocess.run([self.c.wine_loader, "cmd", "/c", f"for %I in ({' '.join(lines)}) do @echo %~aI %~zI"],
                             env=env, capture_output=True, timeout=120)
        kinds = [None if a.startswith(b"d") else int(z) for a, z in
                 (row.split() for row in cmd.stdout.splitlines())]
        self.assertEqual(len(kinds), len(lines), cmd.stdout + cmd.stderr)
        shown = [line[len(root):].split("\\") for line in lines]
        self.assertTrue(self.pair(shown, kinds, list(UNI_SIZES), enc, {}),
                        f"no line-to-entry pairing holds: {lines} {kinds}\n{res.describe()}")
        self.assertTrue(any("~" in line for line in lines), "no short name in use")

    def pair(self, shown, kinds, left, enc, short) -> bool:
        if not shown:
            return not left
        for rel in left:
            names = rel.split("/")
            if UNI_SIZES[rel] != kinds[0] or len(names) != len(shown[0]):
                continue
            given = dict(short)
            if all(self.same(n, p, enc, given) for n, p in zip(names, shown[0])) and \
                    self.pair(shown[1:], kinds[1:], [r for r in left if r != rel], enc, given):
                return True
        return False

    @staticmethod
    def same(name: str, shown: str, enc: str, short: dict) -> bool:
        try:
            name.encode(enc)
            return shown == name
        except UnicodeEncodeError:
            if not (shown.isascii() and "~" in shown) or short.get(name, shown) != shown:
                return False
            if any(n != name and s == shown for n, s in short.items()):
                return False
            short[name] = shown
            return True
