"""Running tvx (natively or under Wine) and comparing what it prints.

One Ctx per test run: it knows the mode, the program, the tree root and the
environment every run is pinned to, turns Unix paths into what the program
shows on its platform, and checks a run's exit code, standard error and bytes.
"""

from __future__ import annotations

import collections
import os
import re
import shlex
import shutil
import string
import subprocess
import time

from compare import arrange, bytes_diff, dir_row, output_excerpt, preorder_problem, read_file
from texts import BANNER

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
                    out = b"" if stdout_path else read_file(out_path)
                else:
                    p = subprocess.run(argv, cwd=cwd, env=full_env, stdin=subprocess.DEVNULL,
                                       stdout=subprocess.PIPE, stderr=err_f, timeout=RUN_TIMEOUT)
                    rc, out = p.returncode, p.stdout
        except subprocess.TimeoutExpired:
            raise AssertionError(f"program did not end within {RUN_TIMEOUT} s (hang?)\n"
                                 + Result(argv, cwd, pins, None, b"", b"", note).describe())
        except FileNotFoundError as e:
            raise HarnessError(f"cannot start {argv[0]}: {e}")
        return Result(argv, cwd, pins, rc, out, read_file(err_path), note)

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
        return Result(argv, cwd, pins, rc, read_file(stem + ".out"), read_file(stem + ".err"))

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
                                 + output_excerpt(res.out, self.encoding(res.env_pins.get("LC_ALL"))))

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
                                 + output_excerpt(res.out, self.encoding(locale)))
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
            arranged = arrange(want_lines, lines)
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
                                 + output_excerpt(res.out, self.encoding(locale)))
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
