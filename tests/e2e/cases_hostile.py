"""Hostile trees: deep, wide, long and odd names. Each built by its case and
removed after it (with rm -rf: a tree deeper than PATH_MAX defeats most tools)."""

from __future__ import annotations

import os
import subprocess

from e2e_base import E2E, only
from texts import message

# What follows the names LIST cannot write when it writes nothing.
NOTHING_WRITTEN = "Nothing written: /C leaves these names out; /0 or /JSON writes them"
# The same when /0 does not write them all.
JSON_WRITES_ALL = "Nothing written: /C leaves these names out; /JSON writes them all"



def make_chain(root: str, name: str, depth: int, leaf: str | None = None):
    """root/name/name/... depth levels, created relative to each parent so no
    path length limit applies; leaf: a file in the innermost directory."""
    os.makedirs(root, exist_ok=True)
    fd = os.open(root, os.O_RDONLY | os.O_DIRECTORY)
    try:
        for _ in range(depth):
            os.mkdir(name, dir_fd=fd)
            child = os.open(name, os.O_RDONLY | os.O_DIRECTORY, dir_fd=fd)
            os.close(fd)
            fd = child
        if leaf:
            os.close(os.open(leaf, os.O_CREAT | os.O_WRONLY, 0o644, dir_fd=fd))
    finally:
        os.close(fd)


class HostileTree(E2E):
    def setUp(self):
        self.base = self.c.unix(f"hostile-{self.id().rsplit('.', 1)[-1]}")
        os.makedirs(self.base)

    def tearDown(self):
        subprocess.run(["rm", "-rf", self.base], check=False)

    def host(self, rel=""):
        return self.c.host(os.path.join(self.base, rel) if rel else self.base)


class DeepTrees(HostileTree):
    @only("native", "Windows paths end at 32767 characters; the Wine case is below")
    def test_path_longer_than_path_max(self):
        name = "d" * 100
        make_chain(self.base, name, 60, leaf="leaf.txt")  # about 6 KB of path
        res = self.c.run(["LIST", self.host(), "/R"])
        expected, path = [], self.base
        for _ in range(60):
            path += "/" + name
            expected.append(path)
        expected.append(path + "/leaf.txt")
        self.c.check_exact(res, "".join(line + "\n" for line in expected))

    @only("native", "Windows paths end at 32767 characters")
    def test_ten_thousand_levels(self):
        make_chain(self.base, "d", 10000, leaf="f")
        res = self.c.run(["LIST", self.host(), "/R", "/F"])
        self.c.check_exact(res, "d\n" * 10000 + "f\n")
        res = self.c.run(["STAT", self.host(), "/R"])
        self.assertTrue(res.out.endswith(f"ROOT {self.base} FileCount=10001\n".encode()), res.describe())

    @only("wine", "the POSIX case is above")
    def test_path_beyond_max_path_under_wine(self):
        # Entered and read by UTF-16 paths in the extended form, which has no
        # MAX_PATH limit; the names come out whole.
        name = "d" * 50
        make_chain(self.base, name, 6, leaf="leaf.txt")  # about 300 characters
        res = self.c.run(["LIST", self.host(), "/R"], locale="ja_JP.UTF-8")
        expected, path = [], self.host()
        for _ in range(6):
            path += "\\" + name
            expected.append(path)
        expected.append(path + "\\leaf.txt")
        self.c.check_exact(res, "".join(line + "\n" for line in expected))
        res = self.c.run(["STAT", self.host(), "/R"])
        self.assertTrue(res.out.endswith(f"FileCount=7{self.c.lb}".encode()), res.describe())


class WideAndOddNames(HostileTree):
    def test_hundred_thousand_entries_in_one_directory(self):
        fd = os.open(self.base, os.O_RDONLY | os.O_DIRECTORY)
        try:
            for i in range(100000):
                os.close(os.open(f"f{i:06d}", os.O_CREAT | os.O_WRONLY, 0o644, dir_fd=fd))
        finally:
            os.close(fd)
        res = self.c.run(["LIST", self.host(), "/F"])
        self.c.check_status(res, 0)
        lines = self.c.split_lines(res)
        self.assertEqual(sorted(lines), [f"f{i:06d}".encode() for i in range(100000)])

    def test_names_of_255_bytes(self):
        long_name = "n" * 251 + ".txt"
        with open(os.path.join(self.base, long_name), "wb"):
            pass
        os.mkdir(os.path.join(self.base, "b" * 255))
        res = self.c.run(["LIST", self.host(), "/F"])
        self.c.check_entries(res, [("x", long_name), ("y", "b" * 255)])

    @only("native", "Windows names cannot hold these bytes")
    def test_invalid_utf8_names_are_written_unchanged(self):
        raw = b"bad-\xff\xfe-\xc3(.bin"
        with open(os.path.join(os.fsencode(self.base), raw), "wb"):
            pass
        res = self.c.run(["LIST", self.host(), "/F", "/U"])
        self.c.check_status(res, 0)
        # "(" asks for quotes; the bytes of no character are safe as they are.
        self.assertEqual(res.out, b"'BAD-\xff\xfe-\xc3(.BIN'\n")

    @only("native", "Windows names cannot hold control characters")
    def test_names_with_control_bytes_are_never_written_as_other_names(self):
        names = ["line\nbreak", "cr\rhere", "tab\there", "bell\x07\x7f", "plain"]
        for name in names:
            with open(os.path.join(self.base, name), "wb"):
                pass
        os.mkdir(os.path.join(self.base, "sub\ndir"))
        with open(os.path.join(self.base, "sub\ndir", "in"), "wb"):
            pass
        b = self.base
        text = "Name not writable on one line; /0 writes it ["
        # LIST stops before writing: a "?" would name another file.
        # It names every such name first, a directory once for what is in it.
        res = self.c.run(["LIST", b, "/R", "/P=rm"])
        self.assertEqual((res.rc, res.out), (1, b""), res.describe())
        lines = res.err.decode().split("\n")
        self.assertEqual(lines[-2:], [NOTHING_WRITTEN, ""])
        self.assertEqual(len(lines), 7, res.describe())
        for line in lines[:-2]:
            self.assertRegex(line, r"^Name not writable on one line; /0 writes it \[" + b + r"/[a-z]+\?[a-z?]*\]$")
        # With /C the names and the directory's contents are left out, each reported.
        res = self.c.run(["LIST", b, "/R", "/C"])
        self.assertEqual((res.rc, res.out), (1, f"{b}/plain\n".encode()), res.describe())
        shown = ["line?break", "cr?here", "tab?here", "bell??", "sub?dir"]
        self.assertEqual(sorted(res.err.decode().splitlines()), sorted(f"{text}{b}/{n}]" for n in shown))
        # Ranked, the best that can be written are written.
        res = self.c.run(["LIST", b, "/R", "/C", "/TOP:3", "/O:N"])
        self.assertEqual((res.rc, res.out), (1, f"{b}/plain\n".encode()), res.describe())
        self.assertEqual(len(res.err.splitlines()), 5, res.describe())
        # With /0 they are written exactly, and nothing is quoted.
        res = self.c.run(["LIST", b, "/R", "/0", "/P=$SHORT|"])
        self.c.check_status(res, 0)
        records = res.out.split(b"\0")
        self.assertEqual(records[-1], b"")
        expected = [f"{n}| {b}/{n}" for n in names + ["sub\ndir"]] + [f"in| {b}/sub\ndir/in"]
        self.assertEqual(sorted(records[:-1]), sorted(e.encode() for e in expected))
        # DIR shows them with "?".
        res = self.c.run(["DIR", b])
        self.c.check_status(res, 0)
        self.assertIn(b"  line?break ", res.out)
        self.assertNotIn(b"line\nbreak", res.out)
        # A typed directory holding one is entered by its real name.
        sub = os.path.join(b, "sub\ndir")
        res = self.c.run(["LIST", sub, "/0", "/F"])
        self.assertEqual((res.rc, res.out, res.err), (0, b"in\0", b""), res.describe())
        res = self.c.run(["STAT", sub])
        self.assertTrue(res.out.endswith(f"ROOT {b}/sub?dir FileCount=1\n".encode()), res.describe())
        res = self.c.run(["LIST", "."], cwd=sub)
        self.assertEqual((res.rc, res.out, res.err), (1, b"", f"{text}{b}/sub?dir]\n{NOTHING_WRITTEN}\n".encode()), res.describe())

    def test_names_that_look_like_options_or_macros(self):
        for name in ["-R", "--help", "-P=x", "$SELF", "%PATH%"]:
            with open(os.path.join(self.base, name), "wb"):
                pass
        res = self.c.run(["LIST", self.host(), "/F", "/P=[$SELF]"], env={"PATH": os.environ["PATH"]})
        # Inserted text that holds the macro it replaces is not searched again;
        # for cmd a word that needs quotes is quoted whole.
        q = self.c.quoted
        word = (lambda n: f'"[{n}]"' if q(n) != n else f"[{n}]") if self.c.wine else (lambda n: f"[{q(n)}]")
        self.c.check_entries(res, [(str(i), f"{word(n)} {q(n)}") for i, n in
                                   enumerate(["-R", "--help", "-P=x", "$SELF", "%PATH%"])])


class SafeBatches(HostileTree):
    # Names each command interpreter would misread unquoted; some would run a
    # command or make a file of their own.
    NAMES = ["a b.txt", "it's.txt", "dollar$HOME.txt", "$(touch PWNED1).txt", "back`touch PWNED2`.txt",
             "semi;touch PWNED3.txt", "R&D.txt", "[x].txt", "x.txt", "bang!.txt", "a,b.txt", "a=b.txt",
             "caret^.txt", "~tilde.txt", "-dash.txt", "plain.txt", "sub dir (1)/in&echo PWNED4.txt"]
    POSIX_NAMES = ["100%.txt", 'say "hi".txt', "star*.txt", "what?.txt", "out>PWNED5.txt"]

    def tree(self) -> list[str]:
        names = self.NAMES + (self.POSIX_NAMES if not self.c.wine else [])
        for name in names:
            path = os.path.join(self.base, "src", name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w") as f:
                f.write(name)
        os.makedirs(os.path.join(self.base, "dest"))
        os.makedirs(os.path.join(self.base, "work"))
        return names

    def everything(self) -> set[str]:
        found = set()
        for top, dirs, files in os.walk(self.base):
            found.update(os.path.relpath(os.path.join(top, n), self.base) for n in dirs + files)
        return found

    def test_copy_batch_copies_every_file_under_its_own_name(self):
        names = self.tree()
        prefix = "/P=copy" if self.c.wine else "/P=cp"
        dest = self.host("dest") + self.c.sep
        res = self.c.run(["LIST", self.host("src"), "/R", "/D", prefix, "/S=" + dest])
        self.c.check_status(res, 0)
        batch = os.path.join(self.base, "copy.bat" if self.c.wine else "copy.sh")
        with open(batch, "wb") as f:
            f.write(res.out)
        before = self.everything()
        ran = self.c.run_batch(batch, cwd=os.path.join(self.base, "work"))
        problem = f"batch:\n{res.out.decode('latin-1')}\n{ran.describe()}  output: {ran.out!r}\n  errors: {ran.err!r}"
        self.assertEqual(ran.rc, 0, problem)
        if not self.c.wine:
            self.assertEqual((ran.out, ran.err), (b"", b""), problem)
        made = self.everything() - before
        self.assertEqual(made, {"dest/" + os.path.basename(n) for n in names}, problem)
        for name in names:
            with open(os.path.join(self.base, "dest", os.path.basename(name))) as f:
                self.assertEqual(f.read(), name, problem)


class ChangingTree(HostileTree):
    @only("native", "the race needs the scan and the changes on one file system view")
    def test_directories_removed_or_replaced_while_scanned(self):
        # While the program walks, another thread removes directories and puts
        # files in their place. Whatever it meets, the run ends with a listing
        # (status 0) or one known message (status 1): never a crash.
        import threading

        for d in range(150):
            os.makedirs(os.path.join(self.base, f"d{d:03d}", "inner"))
            for f in range(40):
                with open(os.path.join(self.base, f"d{d:03d}", f"f{f:02d}"), "wb"):
                    pass
        stop = threading.Event()

        def churn():
            n = 0
            while not stop.is_set():
                d = os.path.join(self.base, f"d{n % 150:03d}")
                subprocess.run(["rm", "-rf", d], check=False)
                if n % 2:
                    with open(d, "wb"):
                        pass
                else:
                    os.makedirs(os.path.join(d, "inner"), exist_ok=True)
                n += 1

        worker = threading.Thread(target=churn)
        worker.start()
        try:
            # One message per line on standard error, each naming a directory.
            known = tuple(f"{message(code)} [{self.base}/".encode() for code in (2, 3, 5))
            for command in ["LIST", "DIR", "STAT"] * 3:
                for switches in (["/R"], ["/R", "/C"]):
                    res = self.c.run([command, self.host()] + switches)
                    self.assertIn(res.rc, (0, 1), res.describe())
                    lines = res.err.splitlines()
                    self.assertEqual(len(lines) > 0, res.rc == 1, res.describe())
                    if "/C" not in switches:
                        self.assertLessEqual(len(lines), 1, res.describe())
                    for line in lines:
                        self.assertTrue(line.startswith(known) and line.endswith(b"]"), res.describe())
        finally:
            stop.set()
            worker.join()
