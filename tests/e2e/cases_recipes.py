"""The recipes of the README and the manual, run as written on a tree of
hostile names: natively with sh, the Windows ones with cmd under Wine. A
recipe fails if anything in a name runs, if a file lands elsewhere than the
recipe says, or if a line breaks."""

from __future__ import annotations

import csv
import io
import json
import os
import re
import shutil
import subprocess
import time

from e2e_base import E2E, NotApplicable

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
DAY = 24 * 3600

# A command injected by a name makes a folder whose name begins with PWNED,
# in sh and in cmd alike.
SRC_NAMES = ["a b.txt", "it's.txt", "dollar$HOME.txt", "$(mkdir PWNED1).txt", "back`mkdir PWNED2`.txt",
             "semi;mkdir PWNED3.txt", "R&D.txt", "[x].txt", "bang!.txt", "a,b.txt", "a=b.txt",
             "caret^.txt", "~tilde.txt", "-dash.txt", "plain.txt", "sub dir (1)/in&mkdir PWNED4.txt",
             "sub dir (1)/same.txt", "same.txt", ".git/config", "build/out.o", "deep/er/leaf.txt"]
# Wine's cmd reads batch lines in the ANSI code page even after chcp 65001,
# so names outside ASCII are checked natively only.
POSIX_SRC_NAMES = ['say "hi".txt', "star*.txt", "what?.txt", "out>PWNED5.txt", "100%.txt",
                   "\u00e4.txt", "\u65e5\u672c \u8a9e/x.txt"]
LOGS = {"new.log": 1, "old app.log": 40, "x; mkdir PWNED6.log": 45, "$(mkdir PWNED7).log": 60}
PHOTOS = ["a b.jpg", "it's.jpg", "sub/$(mkdir PWNED8).jpg", "sub/keep.txt"]
EMPTY_PHOTOS = "sub/empty $(mkdir PWNED9)"  # a folder with nothing in it
MEDIA = {"big movie.mkv": (1 << 30) + 5, "small.mkv": 10}


def readme_recipes() -> list[tuple[str, str, list[str]]]:
    """(kind, title, lines) of every recipe: a ```sh or ```bat block of the
    README, cut at its comment lines."""
    recipes = []
    with open(os.path.join(REPO, "README.md"), encoding="utf-8") as f:
        blocks = re.findall(r"^```(sh|bat)\n(.*?)^```", f.read(), re.S | re.M)
    for kind, body in blocks:
        if not re.search(r"^tvx(\.exe)? ", body, re.M):
            continue
        comment = "# " if kind == "sh" else "REM "
        for line in body.splitlines():
            if line.startswith(comment):
                recipes.append((kind, line[len(comment):].strip(), []))
            elif line.strip() and recipes:
                recipes[-1][2].append(line)
    return recipes


def manual_recipes() -> list[list[str]]:
    """The example blocks of the manual page that run the program, unescaped."""
    with open(os.path.join(REPO, "doc", "tvx.1"), encoding="utf-8") as f:
        blocks = re.findall(r"^\.EX\n(.*?)^\.EE", f.read(), re.S | re.M)
    out = []
    for body in blocks:
        lines = [line.replace("\\-", "-").replace("\\(aq", "'").replace("\\e", "\\")
                 for line in body.splitlines()]
        if any(re.match(r"tvx(\.exe)? ", line) for line in lines):
            out.append(lines)
    return out


def snapshot(top: str) -> dict[str, tuple[bool, int]]:
    found = {}
    for where, dirs, files in os.walk(top):
        for n in dirs + files:
            p = os.path.join(where, n)
            found[os.path.relpath(p, top)] = (os.path.isdir(p), os.lstat(p).st_size)
    return found


class Recipes(E2E):
    def setUp(self):
        self.work = self.c.unix(f"recipes-{self.id().rsplit('.', 1)[-1]}")
        self.src = SRC_NAMES + ([] if self.c.wine else POSIX_SRC_NAMES)
        now = time.time()
        for name in self.src:
            self.write(f"src/{name}", name)
        for name, days in LOGS.items():
            self.write(f"logs/{name}", name, now - days * DAY)
        for name in PHOTOS:
            self.write(f"photos/{name}", name)
        os.makedirs(os.path.join(self.work, "photos", EMPTY_PHOTOS))
        for name, size in MEDIA.items():
            os.makedirs(os.path.join(self.work, "media"), exist_ok=True)
            with open(os.path.join(self.work, "media", name), "wb") as f:
                f.truncate(size)  # sparse

    def tearDown(self):
        subprocess.run(["rm", "-rf", self.work], check=False)

    def write(self, rel: str, text: str, mtime: float | None = None):
        path = os.path.join(self.work, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as f:
            f.write(text)
        if mtime is not None:
            os.utime(path, (mtime, mtime))

    def run_recipe(self, kind: str, lines: list[str]):
        """Runs the lines from the work folder, with the program on the path."""
        bindir = os.path.dirname(self.c.exe)
        full_env, _ = self.c._env(self.c.default_locale, None)
        if kind == "sh":
            full_env["PATH"] = bindir + os.pathsep + full_env["PATH"]
            full_env["HOME"] = self.work
            # A stand-in for ImageMagick: copies its input to its output.
            stub = os.path.join(bindir, "convert")
            with open(stub, "w") as f:
                f.write('#!/bin/sh\ncp -- "$1" "$2"\n')
            os.chmod(stub, 0o755)
            argv = ["sh", "-ec", "\n".join(lines)]
        else:
            full_env["WINEPATH"] = self.c.host(bindir)
            bat = os.path.join(self.c.tmp, "io", f"recipe-{self.id().rsplit('.', 1)[-1]}.bat")
            os.makedirs(os.path.dirname(bat), exist_ok=True)
            with open(bat, "wb") as f:
                f.write(("@echo off\r\n" + "\r\n".join(lines) + "\r\n").encode("ascii"))
            argv = self.c.wine_caps + [self.c.wine_loader, "cmd", "/c", self.c.host(bat)]
        p = subprocess.run(argv, cwd=self.work, env=full_env, stdin=subprocess.DEVNULL,
                           capture_output=True, timeout=300)
        return p

    def check(self, kind: str, title: str, lines: list[str]):
        expect = EXPECTATIONS.get(title)
        self.assertIsNotNone(expect, f"no expectation for the recipe {title!r}: add one")
        before = snapshot(self.work)
        p = self.run_recipe(kind, lines)
        after = snapshot(self.work)
        made = {k for k in after if k not in before}
        gone = {k for k in before if k not in after}
        problem = (f"recipe {title!r}:\n  " + "\n  ".join(lines) + f"\n  status {p.returncode}\n"
                   f"  output: {p.stdout[:2000]!r}\n  errors: {p.stderr[:2000]!r}\n"
                   f"  made: {sorted(made)}\n  gone: {sorted(gone)}")
        self.assertFalse([k for k in made if os.path.basename(k).startswith("PWNED")], problem)
        if kind == "sh":
            self.assertEqual(p.returncode, 0, problem)
        want_made, want_gone, check_out = expect(self)
        if callable(want_made):
            want_made(made, problem)
        else:
            self.assertEqual(made, set(want_made), problem)
        self.assertEqual(gone, set(want_gone), problem)
        for rel in made:
            if not after[rel][0] and rel.split("/")[0] in ("backup", "archive", "flat", "flat8"):
                self.assertIn(self.read(rel), self.src + list(LOGS), problem)
        if check_out:
            check_out(p.stdout.decode("utf-8", "replace").replace("\r\n", "\n"), problem)

    def read(self, rel: str) -> str:
        with open(os.path.join(self.work, rel)) as f:
            return f.read()

    def test_every_readme_recipe_runs_as_written(self):
        kind = "bat" if self.c.wine else "sh"
        recipes = [r for r in readme_recipes() if r[0] == kind]
        self.assertTrue(recipes, "the README holds no recipes")
        for _, title, lines in recipes:
            with self.subTest(recipe=title):
                self.tearDown()
                self.setUp()
                self.check(kind, title, lines)

    def test_every_manual_recipe_is_a_checked_one(self):
        known = {tuple(lines): title for _, title, lines in readme_recipes()}
        for lines in manual_recipes():
            self.assertIn(tuple(lines), known, "a manual recipe that the README does not hold")

    # ----- what each recipe leaves -----

    def entries(self, top: str, files_only=False, skip=()) -> set[str]:
        out = set()
        for name in {"src": self.src, "photos": PHOTOS, "logs": list(LOGS)}[top]:
            parts = name.split("/")
            if any(p in skip for p in parts):
                continue
            for i in range(1, len(parts) + 1):
                if i < len(parts) and files_only:
                    continue
                out.add("/".join(parts[:i]))
        return out

    def lines_name(self, top: str, want: set[str], full=True, quoted=False):
        def check(out: str, problem: str):
            base = self.c.host(os.path.join(self.work, top)) + self.c.sep
            shown = {(base if full else "") + self.c.rel(n if full else n.split("/")[-1]) for n in want}
            if quoted:
                shown = {self.c.quoted(s) for s in shown}
            got = out.splitlines()
            self.assertEqual(len(got), len(want), problem)
            self.assertEqual(set(got), shown, problem)
        return check


def _listed(top, files, **kw):
    """A list file holding the chosen entries of top, one a line."""
    def expect(t: Recipes):
        return {files}, set(), lambda out, problem: t.lines_name(top, kw.get("want", t.entries(top, skip=kw.get("skip", ()))))(
            t.read(files), problem)
    return expect


def _batch(t: Recipes, stem: str) -> str:
    return stem + (".bat" if t.c.wine else ".sh")


def _tree_copy(t: Recipes):
    return {_batch(t, "copy"), "backup"} | {"backup/" + e for e in t.entries("src")}, set(), None


def _flat_copy(folder, stem):
    def expect(t: Recipes):
        files = {folder + "/" + e.split("/")[-1] for e in t.entries("src", files_only=True)}
        return {_batch(t, stem), folder} | files, set(), None
    return expect


def _old_logs_deleted(t: Recipes):
    return {_batch(t, "clean")}, {"logs/" + n for n, days in LOGS.items() if days > 30}, None


def _converted(t: Recipes):
    pngs = {"photos/" + p[:-4] + ".png" for p in PHOTOS if p.endswith(".jpg")}
    return pngs | {"convert.sh"}, set(), None


def _dated_copies(t: Recipes):
    def made(found: set, problem: str):
        copies = {m for m in found if m.startswith("archive/")}
        t.assertEqual(found - copies, {"archive", _batch(t, "archive")}, problem)
        t.assertEqual(len(copies), len(LOGS), problem)
        for name, _ in LOGS.items():
            t.assertEqual(len([c for c in copies if re.fullmatch(r"archive/\d{8}-\d{6}-" + re.escape(name), c)]), 1, problem)
    return made, set(), None


def _dates(t: Recipes):
    def check(out: str, problem: str):
        t.assertEqual(sorted(line[11:] for line in out.splitlines()), sorted(LOGS), problem)
        for line in out.splitlines():
            t.assertRegex(line, r"^\d{4}-\d{2}-\d{2} ", problem)
    return {_batch(t, "dates")}, set(), check


def _big_files(t: Recipes):
    def check(out: str, problem: str):
        t.assertIn("big movie.mkv", out, problem)
        t.assertNotIn("small.mkv", out, problem)
        t.assertIn(" 1 files exists.", out, problem)
    return set(), set(), check


def _sorted_list(t: Recipes):
    def key(name: str):
        # Windows compares names ignoring letter case; POSIX by bytes.
        return name.upper().encode() if t.c.wine else name.encode()

    def preorder(rels: set[str], parent: str = "") -> list[str]:
        children = {r for r in rels if os.path.dirname(r) == parent}
        out = []
        for child in sorted(children, key=lambda r: key(os.path.basename(r))):
            out.append(child)
            out += preorder(rels, child)
        return out

    def check(out: str, problem: str):
        files = set(t.src)
        want = [f"{len(r.encode()) if r in files else 0} {t.c.quoted(t.c.rel(r))}"
                for r in preorder(t.entries("src"))]
        t.assertEqual(t.read("here.txt").splitlines(), want, problem)
    return {"here.txt"}, set(), check


def _largest(t: Recipes):
    def check(out: str, problem: str):
        media = [(size, name) for name, size in sorted(MEDIA.items(), key=lambda kv: -kv[1])]
        want = [f"{size} {t.c.quoted(t.c.host(os.path.join(t.work, 'media', name)))}" for size, name in media]
        t.assertEqual(out.splitlines(), want, problem)
    return set(), set(), check


def _newest(t: Recipes):
    def check(out: str, problem: str):
        got = out.splitlines()
        t.assertEqual(len(got), len(LOGS), problem)
        for line, name in zip(got, sorted(LOGS, key=LOGS.get)):
            t.assertRegex(line, r"^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2} ", problem)
            t.assertEqual(line[20:], t.c.quoted(name), problem)
    return set(), set(), check


def _empty_removed(t: Recipes):
    return {_batch(t, "rmdirs")}, {"photos/" + EMPTY_PHOTOS}, None


def _report(t: Recipes):
    def check(out: str, problem: str):
        t.assertIn(f" {len(t.entries('src'))} files exists.", out, problem)
    return set(), set(), check


def _csv_file(t: Recipes):
    def check(out: str, problem: str):
        with open(os.path.join(t.work, "files.csv"), encoding="utf-8", newline="") as f:
            text = f.read()
        # Spreadsheets on Windows read UTF-8 by its byte order mark.
        t.assertEqual(text.startswith("\ufeff"), bool(t.c.wine), problem)
        rows = list(csv.DictReader(io.StringIO(text.lstrip("\ufeff"), newline="")))
        t.assertEqual({r["rel"] for r in rows}, {t.c.rel(e) for e in t.entries("src")}, problem)
    return {"files.csv"}, set(), check


def _jq_paths(t: Recipes):
    if not shutil.which("jq"):
        t.skipTest("jq is not installed")
    return {"txt.txt"}, set(), lambda out, problem: t.lines_name(
        "src", {e for e in t.entries("src", files_only=True) if e.endswith(".txt")})(
            t.read("txt.txt"), problem)


def _jq_recent(t: Recipes):
    if not shutil.which("jq"):
        t.skipTest("jq is not installed")
    return set(), set(), t.lines_name("logs", {n for n, days in LOGS.items() if days < 7})


def _json_lines(t: Recipes):
    def check(out: str, problem: str):
        with open(os.path.join(t.work, "files.jsonl"), "rb") as f:
            data = f.read()
        t.assertTrue(data.endswith(b"\r\n"), problem)
        rels = {json.loads(line)["rel"] for line in data.decode("utf-8").splitlines()}
        t.assertEqual(rels, {t.c.rel(e) for e in t.entries("src", files_only=True)}, problem)
    return {"files.jsonl"}, set(), check


def _du_largest(t: Recipes):
    def check(out: str, problem: str):
        got = out.splitlines()
        # The work folder holds everything, so it is the largest; media with its 1 GiB next.
        t.assertTrue(got[0].endswith(t.c.host(t.work)), problem)
        t.assertTrue(got[1].endswith(t.c.host(os.path.join(t.work, "media"))), problem)
        t.assertRegex(got[1], r"^ +1\.1 GiB ", problem)
        t.assertLessEqual(len(got), 10, problem)
    return set(), set(), check


def _du_projects(t: Recipes):
    def check(out: str, problem: str):
        got = out.splitlines()
        tops = {"src", "logs", "photos", "media"}
        t.assertEqual({line.rsplit(t.c.sep, 1)[-1] for line in got[:-1]}, tops, problem)
        t.assertTrue(got[-1].endswith(t.c.host(t.work)), problem)
    return set(), set(), check


def _by_extension(t: Recipes):
    if not shutil.which("jq"):
        t.skipTest("jq is not installed")
    total = sum(MEDIA.values())
    return set(), set(), lambda out, problem: t.assertEqual(out, f"{total}\t.mkv\n", problem)


def _ncdu_export(t: Recipes):
    def check(out: str, problem: str):
        with open(os.path.join(t.work, "home.ncdu.json"), "rb") as f:
            data = json.loads(f.read())
        t.assertEqual(data[:2], [1, 2], problem)
        t.assertEqual(data[3][0]["name"], t.c.host(t.work), problem)
    return {"home.ncdu.json"}, set(), check


EXPECTATIONS = {
    "Which folders take the most space: the ten largest of the tree": _du_largest,
    "How big is each project: run in the folder of projects, one line per project and the total":
        _du_projects,
    "Space by extension (needs jq)": _by_extension,
    "A tree to browse later with ncdu -f home.ncdu.json or gdu -f home.ncdu.json": _ncdu_export,
    "A CSV for a spreadsheet: every entry with its size and date (a cell beginning with =, +, - or @ "
    "may be read as a formula)": _csv_file,
    "A CSV for Excel: UTF-8 with a byte order mark (a cell beginning with =, +, - or @ may be read as "
    "a formula)": _csv_file,
    "JSON Lines through jq: the full paths of the .txt files (needs jq)": _jq_paths,
    "The logs written in the last week (needs jq; mtime is UTC, which its fromdate reads)":
        _jq_recent,
    "JSON Lines for PowerShell: the files of a tree, one object a line": _json_lines,
    "A file list of a tree: one full path a line, as stored (no quotes), directories included":
        _listed("src", "files.txt"),
    "Copy a tree keeping its structure: the directories first, then the files": _tree_copy,
    "Copy every file into one folder: files of the same name from different folders overwrite each "
    "other there (copy the tree to keep them)": _flat_copy("flat", "flat"),
    "The .jpg files of a tree": _listed("photos", "jpgs.txt", want={p for p in PHOTOS if p.endswith(".jpg")}),
    "A tree without its .git and build folders": _listed("src", "files.txt", skip=(".git", "build")),
    "Logs older than 30 days into a delete batch, then run it": _old_logs_deleted,
    "Files over 1 GB as a directory report": _big_files,
    "Convert every .jpg to a .png beside it": _converted,
    "Dated copies of the logs, named by their last write time (safe in any file name)": _dated_copies,
    "Bare names with their dates": _dates,
    "A sorted list to compare two machines: size and path, in name order (diff it with the other one)":
        _sorted_list,
    "A sorted list to compare two machines: size and path, in name order (fc it with the other one)":
        _sorted_list,
    "Every name exactly, whatever the code page: a UTF-8 batch starts by switching cmd to UTF-8":
        _flat_copy("flat8", "copy8"),
    "A directory report: date, size and name, then totals and drive space": _report,
    "The ten largest files of a tree, largest first, with their sizes": _largest,
    "The twenty newest files of a tree, newest first": _newest,
    "Empty folders into a batch that removes them (run it again for folders that held only empty "
    "ones)": _empty_removed,
}
