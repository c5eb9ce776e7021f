"""Running tvx (natively or under Wine) and comparing what it prints.

One Ctx per test run: it knows the mode, the program, the tree root and the
environment every run is pinned to, turns Unix paths into what the program
shows on its platform, and checks a run's exit code, standard error and bytes.
"""

from __future__ import annotations

import collections
import difflib
import os
import re
import shlex
import shutil
import string
import subprocess
import time
import unicodedata

# What the banner is built from on both builds.
PRODUCT_VERSION = "1.02"
COPYRIGHT = "Copyright (C) 2026 The tvx developers"
COMMENTS = "Directory lister and command-line generator"

BANNER = "\nTarvix ver. %s\n %s (%s)" % (PRODUCT_VERSION, COPYRIGHT, COMMENTS)

HELP_LINES = [
    "",
    "<HOW TO USE> TVX [COMMAND] DIRECTORY [OPTIONS]",
    "- COMMAND",
    "  H[ELP]  Display this",
    "  L[IST]  List files",
    "  D[IR]   Slightly similar to Dir command?",
    "  S[TAT]  Display directory infomation",
    "  DU      Total size of each directory, after its contents",
    "- DIRECTORY  List up root directory",
    "- OPTIONS",
    "  /F[ILENAMEONLY]  List up file name only, Not fullpath",
    "  /Q, /NOQ[UOTE]  Omit quoting",
    "  /D, /NOD[IR]  Omit directories",
    "  /L[OWER]  Lower case file or directory name(LOWER has higher priority than UPPER)",
    "  /U[PPER]  Upper case file or directory name",
    "  /R[ECURSIVE]  List up sub directories",
    "  /C[ONTINUE]  Continue past directories that cannot be read",
    "  /UTF8  Write file names and every text in UTF-8",
    "  /BAT[CH]  LIST lines for a batch file: % doubled, the console's code page",
    "  /NP, /NOPROGRESS  No progress line on a terminal while scanning",
    "  /O[RDER]:N|E|S|D|G  Sort each directory by Name, Ext, Size, Date; G directories first;",
    "     - before a letter reverses it; letters combine (/O:G-D)",
    "  /TOP:N  Only the first N entries; with /O the first N of the whole tree in that order",
    "  /I[GNORECASE]  /M, /X and /O:N ignore letter case (as they always do on Windows)",
    "  /0, /NUL  End LIST lines with NUL; names exactly as stored, not quoted",
    "  /JSON  LIST and DIR as JSON Lines, one object per entry (path rel name ext type size",
    "     mtime attr depth, raw: the path in base64 when not UTF-8); STAT as one object",
    "  /CSV  The same fields as CSV columns under a header row (not with DIR /P /S /LINE /0)",
    "  /H[UMAN]  DU sizes as people read them (1.2 GiB)",
    "  /ALLOC  DU counts allocated size (blocks) instead of apparent size",
    "  /XDEV  DU stays on the file system of DIRECTORY",
    "  /TREE  DU draws the directories down to /LEV (2 by default) as a tree, largest first",
    "  /NCDU  DU as ncdu's JSON export, which ncdu -f and gdu -f load",
    "  /P(REFIX)=VALUE[%ENV%,$MACRO]  Prefix value",
    "  /S(UFFIX)=VALUE[%ENV%,$MACRO]  Suffix value",
    "  /LINE=VALUE[%ENV%,$MACRO]  The whole LIST line (not with /P or /S)",
    "     %ENV%  System environment variable",
    "     MACRO",
    "       $SELF  Listed file or directory name",
    "       $FULL  Full file or directory name",
    "       $SHORT  Only file or Directory name",
    "       $DATETIME  File date and time",
    "       $DATE  File date",
    "       $TIME  File time",
    "       $ISODATE  File date as 2026-12-07",
    "       $ISOTIME  File time as 16:44:40",
    "       $STAMP  File date and time as 20261207-164440",
    "       $REL  Path from the listed directory",
    "       $PARENT  Directory holding the file or directory",
    "       $NAME  Name without its extension",
    "       $EXT  Extension with its dot",
    "       $SIZE  Size in bytes",
    "- CHOOSING ENTRIES  (value after : or =, options may repeat)",
    "  /M[ATCH]:PATTERN[;...]  List only names matching a pattern (* any run, ? one character)",
    "  /X|/EXCLUDE:PATTERN[;...]  Omit matching names, never entering them (a\\b: a path)",
    "  /LEV[ELS]:N  List N levels (1 = DIRECTORY's own entries), implies /R",
    "  /MAXAGE:N  Only entries written in the last N days, or since date YYYYMMDD",
    "  /MINAGE:N  Only entries written before N days ago, or before date YYYYMMDD",
    "  /MIN:N[K|M|G|T[B|iB]]  Only entries of at least N bytes (K, KiB 1024; KB 1000;",
    "     directories count 0)",
    "  /MAX:N[K|M|G|T[B|iB]]  Only entries of at most N bytes",
    "  /A:[-]DHSRALE  Only with attributes (- without): Dir Hidden System Readonly Archive Link",
    "     Empty (a file of 0 bytes, a directory of no entries)",
]
USAGE = BANNER + "\n" + "\n".join(HELP_LINES)
UNKNOWN = "\nCommand Unknown.\n" + BANNER

# I/O failure messages as the program words them, by language: Japanese under
# a Japanese locale natively and code page 932 under Wine, English elsewhere.
MESSAGES = {
    "en": {2: "File not found", 3: "Invalid file name", 4: "Too many open files",
           5: "File access denied", 101: "Disk full", "io": "I/O error ({})"},
    "ja": {2: "ﾌｧｲﾙが見つかりません", 3: "不正なﾌｧｲﾙ名です", 4: "ｵｰﾌﾟﾝしたﾌｧｲﾙが多すぎます",
           5: "ﾌｧｲﾙへのｱｸｾｽが拒否されました", 101: "ﾃﾞｨｽｸがいっぱいです", "io": "I/O ｴﾗｰ ({})"},
}


def message(code: int, lang: str = "en") -> str:
    """The text of an error number; one below zero is a POSIX errno value,
    which has no text of its own and is shown as the system numbers it."""
    texts = MESSAGES[lang]
    return texts[code] if code in texts else texts["io"].format(abs(code))

RUN_TIMEOUT = 120  # a guard against a hanging program, not a measurement

# The ANSI code page Wine picks for each Unix locale the suite uses.
WINE_CODEPAGE = {
    "C": "cp1252",
    "en_US.UTF-8": "cp1252",
    "de_DE.UTF-8": "cp1252",
    "ja_JP.UTF-8": "cp932",
}


class HarnessError(Exception):
    """The suite itself could not do what a case asked (not a program fault)."""


def ascii_upper(text: str) -> str:
    return "".join(chr(ord(c) - 32) if "a" <= c <= "z" else c for c in text)


def ascii_lower(text: str) -> str:
    return "".join(chr(ord(c) + 32) if "A" <= c <= "Z" else c for c in text)


# What asks for quotes: for cmd, a blank or one of its special characters;
# for a POSIX shell, anything but these ASCII characters (bytes 0x80 and
# above are safe too).
CMD_SPECIAL = frozenset(" &()[]{}^=;!'+,`~")
SH_SAFE = frozenset(string.ascii_letters + string.digits + "_@%+=:,./-")


def quoted(name: str, mode: str) -> str:
    """A displayed name as LIST and DIR quote it for the platform's command
    interpreter. Compares characters, so a Shift-JIS trail byte never counts."""
    if mode == "wine":
        if any(c in CMD_SPECIAL for c in name):
            return '"' + name.replace('"', '""') + '"'
        return name
    if all(c in SH_SAFE or ord(c) >= 0x80 for c in name):
        return name
    return "'" + name.replace("'", "'\\''") + "'"


def group(n: int, sep: str = ",") -> str:
    """A whole number with a separator after every three digits."""
    return f"{n:,}".replace(",", sep)


class Result:
    def __init__(self, argv, cwd, env_pins, rc, out, err, note=""):
        self.argv = argv
        self.cwd = cwd
        self.env_pins = env_pins
        self.rc = rc
        self.out = out
        self.err = err
        self.note = note

    def describe(self) -> str:
        pins = " ".join(f"{k}={v}" for k, v in sorted(self.env_pins.items()))
        text = f"  command: {shlex.join(self.argv)}\n  cwd: {self.cwd}\n  env: {pins}\n"
        if self.note:
            text += f"  {self.note}\n"
        text += f"  exit status: {self.rc}\n"
        return text


class Ctx:
    def __init__(self, mode: str, exe: str, tmp: str, wine_loader: str = "wine"):
        self.mode = mode
        self.exe = exe
        # "wine" picks the loader itself; a 64-bit program on a machine that
        # runs no 32-bit code needs the 64-bit loader named directly.
        self.wine_loader = wine_loader
        self.wine_caps = []  # run before Wine: drops root's override of permissions
        self.tmp = tmp  # the run's own folder: trees, batch files, captures
        self.root = os.path.join(tmp, "t")  # where the trees live
        self.locpath = None  # set when the run had to build its own locales
        self.wineprefix = None
        self.default_locale = "C" if mode == "native" else "en_US.UTF-8"
        self.missing_locales = {}  # locale -> why it could not be made
        self._seq = 0

    # ----- paths as the program shows them -----

    @property
    def wine(self) -> bool:
        return self.mode == "wine"

    @property
    def lb(self) -> str:
        return "\r\n" if self.wine else "\n"

    @property
    def sep(self) -> str:
        return "\\" if self.wine else "/"

    def unix(self, rel: str = "") -> str:
        """The Unix path of a tree entry, rel written with "/"."""
        return os.path.join(self.root, rel) if rel else self.root

    def host(self, unix_path: str) -> str:
        """A Unix absolute path as the program's platform spells it."""
        if self.wine:
            return "Z:" + unix_path.replace("/", "\\")
        return unix_path

    def abs(self, rel: str = "") -> str:
        """Absolute path of a tree entry, as typed on the program's platform."""
        return self.host(self.unix(rel))

    full = abs  # the full name the program prints for a tree entry

    def quoted(self, name: str) -> str:
        """name as the program shows it, quoted for its platform's interpreter."""
        return quoted(name, self.mode)

    def rel(self, rel: str) -> str:
        """A relative path written with the platform's separator."""
        return rel.replace("/", self.sep)

    def encoding(self, locale: str | None = None) -> str:
        if not self.wine:
            return "utf-8"
        return WINE_CODEPAGE[locale or self.default_locale]

    def encode(self, text: str, locale: str | None = None) -> bytes:
        return text.replace("\n", self.lb).encode(self.encoding(locale))

    # ----- running the program -----

    def _env(self, locale: str, env: dict | None) -> tuple[dict, dict]:
        if locale in self.missing_locales:
            raise HarnessError(f"locale {locale} is not available: {self.missing_locales[locale]}")
        base = {k: v for k, v in os.environ.items()
                if not (k.startswith("LC_") or k in ("LANG", "LANGUAGE", "TZ", "LOCPATH")
                        or k.startswith("TVX_E2E_") or k.startswith("WINE"))}
        pins = {"TZ": "UTC", "LC_ALL": locale, "WINEDEBUG": "-all"}
        if self.locpath:
            pins["LOCPATH"] = self.locpath
        if self.wine:
            pins["WINEPREFIX"] = self.wineprefix
            pins["WINEDLLOVERRIDES"] = "mscoree,mshtml="
            if self.wine_loader != "wine":
                # Programs Wine starts itself (cmd starting tvx.exe) use it too.
                pins["WINELOADER"] = self.wine_loader
        base.update(pins)
        for k, v in (env or {}).items():
            if v is None:
                base.pop(k, None)
            else:
                base[k] = v
                pins[k] = v
        return base, pins

    def _next(self) -> str:
        self._seq += 1
        return os.path.join(self.tmp, "io", f"run{self._seq:04d}")

    def run(self, args, *, cwd=None, locale=None, env=None, wincmd=None,
            stdout_path=None, as_nobody=False, head_lines=None, exe=None,
            max_processes=None, max_files=None) -> Result:
        """Runs the program once.

        args: the parameters (natively argv[1:]; under Wine passed through
        Wine's own command-line building, so they must hold no double quote).
        wincmd: under Wine, the raw Windows command line after the program
        name, run from a batch file by cmd, so that quotes reach the
        program as typed ("%" is doubled for the batch file here).
        stdout_path: write standard output there instead of capturing it.
        head_lines: pipe standard output into `head -n N` and keep its output.
        as_nobody: natively, run as user 65534.
        max_processes: natively, the user's process and thread limit
        (RLIMIT_NPROC; root ignores it, so use it with as_nobody).
        max_files: natively, the limit of open descriptors (RLIMIT_NOFILE).
        """
        exe = exe or self.exe
        locale = locale or self.default_locale
        full_env, pins = self._env(locale, env)
        cwd = cwd or self.root
        stem = self._next()
        os.makedirs(os.path.dirname(stem), exist_ok=True)
        note = ""
        if self.wine:
            if wincmd is not None:
                bat = stem + ".bat"
                line = '@"%s" %s\r\n' % (self.host(exe), wincmd.replace("%", "%%"))
                with open(bat, "wb") as f:
                    f.write(line.encode(self.encoding(locale)))
                argv = self.wine_caps + [self.wine_loader, "cmd", "/c", self.host(bat)]
                note = f"batch line: {line.rstrip()}"
            else:
                for a in args:
                    if '"' in a:
                        raise HarnessError("a double quote cannot pass through Wine's argv: use wincmd")
                argv = self.wine_caps + [self.wine_loader, exe] + list(args)
        else:
            argv = [exe] + list(args)
            if as_nobody:
                argv = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"] + argv
            if max_processes is not None:
                argv = ["prlimit", f"--nproc={max_processes}"] + argv
            if max_files is not None:
                argv = ["prlimit", f"--nofile={max_files}"] + argv
        err_path = stem + ".err"
        out_path = stdout_path or stem + ".out"
        try:
            with open(err_path, "wb") as err_f:
                if head_lines is not None:
                    rc, out = self._run_into_head(argv, cwd, full_env, err_f, head_lines)
                    note = (note + " " if note else "") + f"standard output piped into head -n {head_lines}"
                elif self.wine or stdout_path:
                    # Wine: capture through a file, since a wineserver may
                    # hold a pipe open after the program has ended.
                    with open(out_path, "wb") as out_f:
                        rc = subprocess.run(argv, cwd=cwd, env=full_env, stdin=subprocess.DEVNULL,
                                            stdout=out_f, stderr=err_f,
                                            timeout=RUN_TIMEOUT).returncode
                    out = b"" if stdout_path else _read(out_path)
                else:
                    p = subprocess.run(argv, cwd=cwd, env=full_env, stdin=subprocess.DEVNULL,
                                       stdout=subprocess.PIPE, stderr=err_f, timeout=RUN_TIMEOUT)
                    rc, out = p.returncode, p.stdout
        except subprocess.TimeoutExpired:
            raise AssertionError(f"program did not end within {RUN_TIMEOUT} s (hang?)\n"
                                 + Result(argv, cwd, pins, None, b"", b"", note).describe())
        except FileNotFoundError as e:
            raise HarnessError(f"cannot start {argv[0]}: {e}")
        return Result(argv, cwd, pins, rc, out, _read(err_path), note)

    def run_batch(self, batch: str, cwd: str, locale: str | None = None) -> Result:
        """Runs a batch file the program wrote: by sh natively, by cmd /c under Wine."""
        full_env, pins = self._env(locale or self.default_locale, None)
        argv = (self.wine_caps + [self.wine_loader, "cmd", "/c", self.host(batch)] if self.wine
                else ["sh", batch])
        stem = self._next()
        os.makedirs(os.path.dirname(stem), exist_ok=True)
        try:
            with open(stem + ".out", "wb") as out_f, open(stem + ".err", "wb") as err_f:
                rc = subprocess.run(argv, cwd=cwd, env=full_env, stdin=subprocess.DEVNULL,
                                    stdout=out_f, stderr=err_f, timeout=RUN_TIMEOUT).returncode
        except subprocess.TimeoutExpired:
            raise AssertionError(f"batch did not end within {RUN_TIMEOUT} s\n"
                                 + Result(argv, cwd, pins, None, b"", b"").describe())
        return Result(argv, cwd, pins, rc, _read(stem + ".out"), _read(stem + ".err"))

    def _run_into_head(self, argv, cwd, env, err_f, n):
        prog = subprocess.Popen(argv, cwd=cwd, env=env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=err_f)
        head = subprocess.Popen(["head", "-n", str(n)], stdin=prog.stdout, stdout=subprocess.PIPE)
        prog.stdout.close()
        try:
            out, _ = head.communicate(timeout=RUN_TIMEOUT)
            rc = prog.wait(timeout=RUN_TIMEOUT)
        except subprocess.TimeoutExpired:
            prog.kill()
            head.kill()
            raise
        return rc, out

    # ----- checks -----

    def check_status(self, res: Result, rc: int, err: str = ""):
        """Exit status exactly rc, no crash, standard error exactly err
        ("\\n" there is the platform's line break)."""
        problems = []
        if res.rc is None or res.rc < 0 or res.rc >= 128:
            sig = f" (signal {-res.rc})" if res.rc is not None and res.rc < 0 else ""
            problems.append(f"program crashed: exit status {res.rc}{sig}")
        elif res.rc != rc:
            problems.append(f"exit status {res.rc}, expected {rc}")
        want_err = self.encode(err, res.env_pins.get("LC_ALL"))
        if res.err != want_err:
            shown = res.err.decode(self.encoding(res.env_pins.get("LC_ALL")), "backslashreplace")
            problems.append(("standard error is not empty:" if not err else
                             f"standard error differs, expected:\n    {err!r}\n  actual:")
                            + "\n    " + shown[:2000].replace("\n", "\n    "))
        if problems:
            raise AssertionError("\n".join(problems) + "\n" + res.describe()
                                 + _output_excerpt(res.out, self.encoding(res.env_pins.get("LC_ALL"))))

    def check_exact(self, res: Result, expected: str, rc: int = 0, locale: str | None = None,
                    err: str = ""):
        """The whole output byte for byte; "\\n" in expected is the platform's line break."""
        locale = locale or res.env_pins.get("LC_ALL")
        want = self.encode(expected, locale)
        self.check_status(res, rc, err)
        if res.out != want:
            raise AssertionError("output differs (- expected, + actual)\n" + res.describe()
                                 + bytes_diff(want, res.out, self.lb.encode(), self.encoding(locale)))

    def split_lines(self, res: Result, locale: str | None = None) -> list[bytes]:
        lb = self.lb.encode()
        if not res.out:
            return []
        if not res.out.endswith(lb):
            raise AssertionError("output does not end with a line break\n" + res.describe()
                                 + _output_excerpt(res.out, self.encoding(locale)))
        return res.out[: -len(lb)].split(lb)

    def check_failure(self, res: Result, message: str, before: str = "", locale: str | None = None):
        """A run that a failure ended (status 1) after the output `before`:
        its message is on standard error, on both systems."""
        self.check_exact(res, before, rc=1, locale=locale, err=message + "\n")

    def check_entries(self, res: Result, entries, rc: int = 0, locale: str | None = None,
                      lines: list[bytes] | None = None, err: str = ""):
        """Listing lines in any enumeration order, as long as it is a pre-order.

        entries: (tree path with "/", expected line) per listed entry. The
        lines must be the expected lines as a multiset; when every line is
        distinct, each directory's line must also come right before the
        contiguous block of the lines inside it (whether listed or not).
        """
        locale = locale or res.env_pins.get("LC_ALL")
        if lines is None:
            self.check_status(res, rc, err)
            lines = self.split_lines(res, locale)
        want = [(path, self.encode(line, locale)) for path, line in entries]
        want_lines = [w for _, w in want]
        if collections.Counter(lines) != collections.Counter(want_lines):
            arranged = _arrange(want_lines, lines)
            lb = self.lb.encode()
            raise AssertionError(
                "listed lines differ, compared in any order (- expected, + actual)\n" + res.describe()
                + bytes_diff(b"".join(l + lb for l in arranged), b"".join(l + lb for l in lines),
                             lb, self.encoding(locale)))
        if len(set(want_lines)) != len(want_lines):
            return  # lines do not name their entries: order cannot be checked
        path_of = {w: p for p, w in want}
        order = [path_of[l] for l in lines]
        problem = preorder_problem(order)
        if problem:
            raise AssertionError("lines are not in pre-order: " + problem + "\n" + res.describe()
                                 + "  actual order:\n" + "".join(f"    {p}\n" for p in order))

    def check_dir(self, res: Result, table, count: int, total: int, unit: str, scanned: str,
                  locale: str | None = None, thousands: str = ","):
        """A DIR run: table lines (any pre-order), then the summary and the banner.

        table: (tree path, stamp text, size in bytes, displayed name).
        Drive figures are compared with statvfs of the scanned directory: the
        capacity exactly, the free space within a margin (it moves while the
        suite runs); every other byte exactly.
        """
        locale = locale or res.env_pins.get("LC_ALL")
        self.check_status(res, 0)
        lines = self.split_lines(res, locale)
        tail_len = 9  # empty, files, empty, DRIVE INFO, capacity, free, banner (3)
        if len(lines) < tail_len:
            raise AssertionError("DIR output too short\n" + res.describe()
                                 + _output_excerpt(res.out, self.encoding(locale)))
        enc = self.encoding(locale)
        rows = [(p, dir_row(stamp, group(size, thousands), name, enc)) for p, stamp, size, name in table]
        self.check_entries(res, rows, locale=locale, lines=lines[:-tail_len])

        divisor = 1048000 if unit == "MB" else 1024
        st = os.statvfs(scanned)
        capacity = st.f_blocks * st.f_frsize
        free_now = st.f_bavail * st.f_frsize
        tail = lines[-tail_len:]
        free_line = tail[5].decode(enc, "replace")
        m = re.fullmatch(r" ([0-9%s]+) %s \(([0-9%s]+) bytes\) free" % (re.escape(thousands), unit,
                                                                         re.escape(thousands)), free_line)
        free_shown = None
        if m:
            free_units = int(m.group(1).replace(thousands, ""))
            free_shown = int(m.group(2).replace(thousands, ""))
            margin = max(512 * 1024 * 1024, free_now // 50)
            if abs(free_shown - free_now) > margin or free_units != free_shown // divisor:
                free_shown = None
        free = free_shown if free_shown is not None else free_now
        summary = (f"\n {count} files exists. {group(total // divisor, thousands)} {unit} "
                   f"({group(total, thousands)} bytes)\n\n - DRIVE INFO\n"
                   f" {group(capacity // divisor, thousands)} {unit} ({group(capacity, thousands)} bytes)\n"
                   f" {group(free // divisor, thousands)} {unit} ({group(free, thousands)} bytes) free"
                   "\n" + BANNER)
        want_tail = summary.split("\n")
        want = self.encode("\n".join(want_tail) + "\n", locale)
        got = self.lb.encode().join(tail) + self.lb.encode()
        if got != want:
            hint = ("" if free_shown is not None else
                    f"  (free space expected near {free_now} bytes, statvfs f_bavail*f_frsize, "
                    f"and its {unit} figure the bytes divided by {divisor})\n")
            raise AssertionError("DIR summary differs (- expected, + actual)\n" + res.describe() + hint
                                 + bytes_diff(want, got, self.lb.encode(), enc))


def columns(text: str, encoding: str) -> int:
    """The columns text takes on a terminal: in UTF-8 a wide character two, a
    combining one none; in a code page a column per byte, as a double-byte
    character takes two on the console."""
    if encoding != "utf-8":
        return len(text.encode(encoding))
    return sum(0 if unicodedata.combining(c) else
               2 if unicodedata.east_asian_width(c) in "WF" else 1 for c in text)


def dir_quoted(name: str) -> str:
    """A name as DIR shows it: in double quotes for a blank alone, on both systems."""
    return '"' + name.replace('"', '""') + '"' if " " in name else name


def dir_row(stamp: str, size: str, name: str, encoding: str) -> str:
    """One DIR table line; the name is padded to 30 columns."""
    def pad_right(text, width):
        return text + " " * max(0, width - columns(text, encoding))
    return pad_right(stamp, 20) + " " + size.rjust(20) + "  " + pad_right(name, 30)


def preorder_problem(order: list[str]) -> str | None:
    """Why a sequence of tree paths is not a pre-order, or None."""
    pos = {p: i for i, p in enumerate(order)}
    ancestors = set()
    for p in order:
        parts = p.split("/")
        for k in range(1, len(parts)):
            ancestors.add("/".join(parts[:k]))
    for a in sorted(ancestors):
        inside = sorted(i for p, i in pos.items() if p.startswith(a + "/"))
        if inside != list(range(inside[0], inside[-1] + 1)):
            return f"the entries inside {a} are not one contiguous block"
        if a in pos and pos[a] != inside[0] - 1:
            return f"{a} is not listed right before its contents"
    return None


def _arrange(expected: list[bytes], actual: list[bytes]) -> list[bytes]:
    """The expected lines in the actual order where they match, then the rest."""
    left = collections.Counter(expected)
    out = []
    for line in actual:
        if left[line] > 0:
            left[line] -= 1
            out.append(line)
    for line in expected:
        if left[line] > 0:
            left[line] -= 1
            out.append(line)
    return out


def _show(line: bytes, encoding: str) -> str:
    text = line.decode(encoding, "backslashreplace")
    return text.replace("\r", "\\r").replace("\n", "\\n").replace("\t", "\\t")


def _split_keep(data: bytes) -> list[bytes]:
    return data.splitlines(keepends=True)


def bytes_diff(want: bytes, got: bytes, lb: bytes, encoding: str) -> str:
    a = [_show(l, encoding) for l in _split_keep(want)]
    b = [_show(l, encoding) for l in _split_keep(got)]
    diff = list(difflib.unified_diff(a, b, "expected", "actual", lineterm="", n=3))
    text = "\n".join("  " + d for d in diff[:400])
    if len(diff) > 400:
        text += f"\n  ... {len(diff) - 400} more diff lines"
    if not diff:
        text = "  (no line differs in text; compare the raw bytes)"
    if encoding != "utf-8" and want != got:
        # Show the differing lines as hex too: double-byte names are compared as bytes.
        for x, y in zip(_split_keep(want), _split_keep(got)):
            if x != y:
                text += f"\n  first differing line, hex:\n    expected {x.hex(' ')}\n    actual   {y.hex(' ')}"
                break
    return text + "\n"


def _output_excerpt(out: bytes, encoding: str) -> str:
    if not out:
        return "  standard output: (empty)\n"
    lines = _split_keep(out)
    shown = "".join("    " + _show(l, encoding) + "\n" for l in lines[:40])
    more = f"    ... {len(lines) - 40} more lines\n" if len(lines) > 40 else ""
    return "  standard output:\n" + shown + more


def _read(path: str) -> bytes:
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return b""


# ----- setting up a run -----

NEEDED_LOCALES = ["en_US.UTF-8", "de_DE.UTF-8", "ja_JP.UTF-8"]


def _norm_locale(name: str) -> str:
    return name.lower().replace("-", "")


def prepare_locales(ctx: Ctx) -> list[str]:
    """Makes the locales the cases need available; returns notes for the log.

    Uses the system's when all are installed, otherwise builds all of them
    into the run's own folder and points LOCPATH there.
    """
    try:
        have = subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout.split()
    except FileNotFoundError:
        have = []
    have = {_norm_locale(n) for n in have}
    missing = [l for l in NEEDED_LOCALES if _norm_locale(l) not in have]
    if not missing:
        return []
    folder = os.path.join(ctx.tmp, "locales")
    os.makedirs(folder, exist_ok=True)
    notes = [f"locales missing on this machine: {', '.join(missing)}; building them into {folder}"]
    for name in NEEDED_LOCALES:
        lang = name.split(".")[0]
        try:
            p = subprocess.run(["localedef", "-i", lang, "-f", "UTF-8", os.path.join(folder, name)],
                               capture_output=True, text=True)
            ok = p.returncode in (0, 1) and os.path.isdir(os.path.join(folder, name))
            why = (p.stderr or p.stdout).strip()[-300:]
        except FileNotFoundError:
            ok, why = False, "localedef not found (install the Debian package 'locales')"
        if not ok:
            ctx.missing_locales[name] = f"localedef failed: {why}"
            notes.append(f"LOCALE {name} COULD NOT BE BUILT: {why}")
    ctx.locpath = folder
    return notes


def prepare_wine(ctx: Ctx) -> None:
    """A private Wine prefix for this run with a persistent wineserver."""
    for tool in (ctx.wine_loader, "wineserver"):
        if shutil.which(tool) is None:
            raise HarnessError(f"{tool} not found: install wine, wine32 and wine64 "
                               "(dpkg --add-architecture i386)")
    prefix = os.path.join(ctx.tmp, "wineprefix")
    os.makedirs(prefix)
    ctx.wineprefix = prefix
    env, _ = ctx._env(ctx.default_locale, None)
    # As root, Wine would enter every directory: its server (which opens the
    # files) and programs run without root's override of permission bits, so
    # a closed directory is closed to them as to a user.
    drop = ["setpriv", "--bounding-set=-dac_override,-dac_read_search"]
    if os.geteuid() == 0 and shutil.which("setpriv") and subprocess.run(
            drop + ["true"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0:
        ctx.wine_caps = drop
    # Persistent while the cases run (a wineserver started by a case would hold
    # that case's output open), yet gone a minute after the last Wine process
    # should this run be killed before it can stop the server itself.
    subprocess.run(ctx.wine_caps + ["wineserver", "-p60"], env=env, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
    t = time.time()
    # Output to a file: the services wineboot starts keep running (and would
    # hold a pipe open) until the wineserver ends.
    log = os.path.join(ctx.tmp, "wineboot.log")
    with open(log, "wb") as f:
        subprocess.run(ctx.wine_caps + [ctx.wine_loader, "wineboot", "-i"], env=env,
                       stdin=subprocess.DEVNULL,
                       stdout=f, stderr=f, timeout=300)
    if not os.path.isdir(os.path.join(prefix, "dosdevices")):
        raise HarnessError("wineboot could not create a Wine prefix: "
                           + _read(log).decode("utf-8", "replace")[-500:])
    z = os.path.join(prefix, "dosdevices", "z:")
    if os.path.realpath(z) != "/":
        raise HarnessError("the Wine prefix has no drive Z: mapped to /")
    return time.time() - t


def stop_wine(ctx: Ctx) -> None:
    if ctx.wineprefix:
        env, _ = ctx._env(ctx.default_locale, None)
        subprocess.run(["wineserver", "-k"], env=env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
        subprocess.run(["wineserver", "-w"], env=env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False, timeout=60)
