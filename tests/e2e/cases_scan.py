"""The directory scan as LIST shows it: which entries, in what order, under which full names."""

from __future__ import annotations

import fcntl
import glob
import os
import signal
import subprocess
import time

from e2e_base import E2E, NotApplicable, only, open_terminal, read_terminal
from texts import message

IO_EIO = -5  # the system's own number: "I/O error (5)"
from trees import BASIC_ALL, BASIC_TOP, NESTED_ALL, NESTED_DIRS, WIDE


class Entries(E2E):
    def test_empty_directory_gives_no_lines(self):
        self.assert_output(["LIST", self.c.abs("empty")], "")
        self.assert_output(["LIST", self.c.abs("empty"), "/R"], "")

    def test_non_recursive_lists_subdirectories_but_not_their_content(self):
        self.assert_listing(["LIST", self.c.abs("nested")], "nested", ["top.txt", "x", "w", "v"])

    def test_recursive_is_pre_order(self):
        self.assert_listing(["LIST", self.c.abs("nested"), "/R"], "nested", NESTED_ALL)

    def test_nodir_leaves_out_directories_but_keeps_their_content(self):
        files = [r for r in NESTED_ALL if r not in NESTED_DIRS]
        self.assert_listing(["LIST", self.c.abs("nested"), "/R", "/D"], "nested", files)
        self.assert_listing(["LIST", self.c.abs("nested"), "/NODIR"], "nested", ["top.txt"])

    def test_hidden_read_only_and_plain_files_are_listed(self):
        # No attribute filter: dot files (hidden under Wine), read-only and
        # owner-only files all appear.
        self.assert_listing(["LIST", self.c.abs("basic"), "/R"], "basic", BASIC_ALL)

    def test_single_entry_directory_exact(self):
        self.assert_output(["LIST", self.c.abs("one")], self.c.full("one/only.txt") + "\n")
        self.assert_output(["LIST", self.c.abs("one") + self.c.sep], self.c.full("one/only.txt") + "\n")


class Links(E2E):
    def expected(self, nodir: bool):
        if self.c.wine:
            # Wine shows a link to a directory as a directory with the reparse
            # bit (0x410) and leaves a dangling link out.
            entries = ["target", "target/t.txt", "dlink", "flink", "loop"]
            dirs = {"target", "dlink", "loop"}
        else:
            # A symbolic link is a non-directory entry of its own.
            entries = ["target", "target/t.txt", "dlink", "flink", "dangling", "loop"]
            dirs = {"target"}
        if nodir:
            entries = [e for e in entries if e not in dirs]
        return entries

    def test_links_are_listed_but_not_entered(self):
        # "loop" points at its own directory: entering it would never end.
        self.assert_listing(["LIST", self.c.abs("links"), "/R"], "links", self.expected(False))

    def test_links_with_nodir(self):
        self.assert_listing(["LIST", self.c.abs("links"), "/R", "/D"], "links", self.expected(True))

    def test_listing_through_a_link(self):
        # The directory parameter itself may be a link to a directory.
        self.assert_listing(["LIST", self.c.abs("links/dlink")], "links/dlink", ["t.txt"])
        # ".." after a link goes back up the path as typed, as the scan does.
        self.assert_listing(["LIST", self.c.abs("links/loop/../target")], "links/target", ["t.txt"])


class DescriptorLimit(E2E):
    @only("native", "a limit of open descriptors is set here for POSIX programs only")
    def test_a_low_limit_loses_no_entry(self):
        # The walk gives back descriptors it kept for later, and the read-ahead
        # takes none it would need: the same listing, or with no descriptor at
        # all a failure of its own, but never a shorter listing.
        args = ["LIST", self.c.abs("wide"), "/R"]
        want = self.c.run(args).out
        # UndefinedBehaviorSanitizer's type check needs descriptors of its own.
        with open(self.c.exe, "rb") as f:
            checked_types = b"__ubsan_handle_dynamic_type_cache_miss" in f.read()
        for limit in (16, 80) if checked_types else (8, 16, 80):
            with self.subTest(limit=limit):
                res = self.c.run(args, max_files=limit)
                self.c.check_status(res, 0)
                self.assertEqual(res.out, want)
        if not checked_types:
            res = self.c.run(args, max_files=4)
            # One message, naming a directory of the tree.
            head = f"{message(4)} [{self.c.abs('wide')}".encode()
            self.assertTrue(res.rc == 1 and res.out == b"" and res.err.startswith(head)
                            and res.err.endswith(b"]\n") and res.err.count(b"\n") == 1,
                            res.describe() + repr(res.err))


class VanishingDirectory(E2E):
    """A directory that the readers have read ahead and that is renamed or
    made unreadable before the walk enters it. The walk is held on a full
    pipe while a's thousands of lines wait to be read, long after the readers
    have read b; then b goes. With a path pattern in /X the readers keep no
    handle (they have no forecast), so the walk must open b again to enter
    c and d, which fails: b keeps its line and gets one message naming it,
    and the walk goes on to z. Without one, the readers kept b open and read
    c and d through it, so the walk may list them as read; it must never
    stop there."""

    FILES = 12000  # ~2.6 MB of lines: more than the pipe and the output's buffers hold

    @classmethod
    def setUpClass(cls):
        ctx = cls.ctx
        if ctx.mode != "native":
            return
        top = cls.top = ctx.unix("vanish")
        for d in ("a", "b/c", "b/d", "z"):
            os.makedirs(os.path.join(top, d))
        for i in range(cls.FILES):
            open(os.path.join(top, "a", f"{'f' * 180}{i:05d}"), "w").close()
        for f in ("b/c/x", "b/d/y", "b/fb", "z/last"):
            open(os.path.join(top, f), "w").close()

    def stalled_run(self, args, goes):
        """Runs LIST with standard output unread until b has gone."""
        env, _ = self.c._env(self.c.default_locale, None)
        argv = [self.c.exe, "LIST", self.top] + args
        if os.geteuid() == 0:  # root would still enter an unreadable directory
            argv = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"] + argv
        p = subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                             stdin=subprocess.DEVNULL, env=env)
        try:
            self.wait_until_held(p)
            goes()
            out, err = p.communicate(timeout=120)
        finally:
            if p.poll() is None:
                p.kill()
        return p.returncode, out, err

    # The number of write(2), by machine, as /proc/<pid>/task/*/syscall shows it.
    WRITE_CALL = {"x86_64": 1, "aarch64": 64, "i686": 4, "armv7l": 4}

    def wait_until_held(self, p):
        """Waits until the run is held on its pipe: a thread of it sleeps in
        a write to standard output that the unread pipe cannot take. a's
        lines, more than the pipe and the buffers hold, still keep the walk
        from b then."""
        write = self.WRITE_CALL.get(os.uname().machine)
        if write is None:
            raise NotApplicable(f"the number of write(2) on {os.uname().machine} is not known here")
        deadline = time.monotonic() + 120
        while time.monotonic() < deadline:
            for task in glob.glob(f"/proc/{p.pid}/task/*"):
                try:
                    with open(os.path.join(task, "syscall")) as f:
                        call = f.read().split()
                    with open(os.path.join(task, "stat")) as f:
                        state = f.read().rsplit(")", 1)[1].split()[0]
                except OSError:
                    continue  # a thread that ended meanwhile
                if state == "S" and call[:2] == [str(write), "0x1"]:
                    return
            if p.poll() is not None:
                self.fail(f"the run ended (exit {p.returncode}) before it was held on its pipe")
            time.sleep(0.01)
        self.fail("the run was never held on its pipe")

    @only("native", "the walk is held on a pipe and the tree changed under it by POSIX calls")
    def test_it_keeps_its_line_and_one_message_and_the_walk_goes_on(self):
        b = os.path.join(self.top, "b")
        lines = lambda rels: [os.path.join(self.top, r).encode() for r in rels]
        files = [f"a/{'f' * 180}{i:05d}" for i in range(self.FILES)]
        given_up = lines(["a"] + files + ["b", "z", "z/last"])
        whole = lines(["a"] + files + ["b", "b/c", "b/c/x", "b/d", "b/d/y", "b/fb", "z", "z/last"])
        actions = {
            "renamed": (lambda: os.rename(b, b + "2"), lambda: os.rename(b + "2", b), 2),
            "unreadable": (lambda: os.chmod(b, 0), lambda: os.chmod(b, 0o755), 5),
        }
        for what, (goes, back, code) in actions.items():
            for pattern in (["/X:no/such"], []):
                with self.subTest(what=what, pattern=pattern):
                    try:
                        rc, out, err = self.stalled_run(["/R", "/C", "/O:N"] + pattern, goes)
                    finally:
                        back()
                    got = out.split(b"\n")
                    self.assertEqual(got.pop(), b"")
                    one = f"{message(code)} [{b}]\n".encode()
                    if pattern or rc == 1:
                        self.assertEqual((rc, err), (1, one))
                        self.assertEqual(got, given_up)
                    else:
                        self.assertEqual((rc, err), (0, b""))
                        self.assertEqual(got, whole)


class FullNames(E2E):
    def test_relative_directory_is_made_full(self):
        cwd = self.c.unix("basic")
        self.assert_listing(["LIST", "sub"], "basic/sub", ["s1.txt", "deeper"], cwd=cwd)
        self.assert_listing(["LIST", self.c.rel("sub/deeper")], "basic/sub/deeper", ["d1.txt"], cwd=cwd)
        self.assert_listing(["LIST", self.c.rel("sub/../sub"), "/R"], "basic/sub",
                            ["s1.txt", "deeper", "deeper/d1.txt"], cwd=cwd)
        self.assert_listing(["LIST", ".."], "", os.listdir(self.c.root), cwd=self.c.unix("nested"),
                            fmt=lambda p: self.c.host(os.path.join(self.c.root, p.lstrip("/"))))

    def test_leading_dash_directory(self):
        cwd = self.c.unix("dollars")
        self.assert_listing(["LIST", "-dash"], "dollars/-dash", ["x.txt"], cwd=cwd)

    @only("native", "POSIX root")
    def test_entries_directly_under_root(self):
        names = os.listdir("/")
        res = self.c.run(["LIST", "/"])
        self.c.check_entries(res, [(n, self.c.quoted("/" + n)) for n in names])

    @only("wine", "drive roots exist only on Windows")
    def test_entries_directly_under_a_drive_root(self):
        for typed in ("Z:\\", "Z:"):
            with self.subTest(directory=typed):
                # A bare drive with colon names the drive's root, not the
                # current directory on that drive.
                # /Q: a plain list, whatever names the machine's root holds.
                res = self.c.run(["LIST", typed, "/Q"], cwd=self.c.unix("basic"))
                self.c.check_status(res, 0)
                lines = self.c.split_lines(res)
                for must in (b"Z:\\tmp", b"Z:\\usr"):
                    self.assertIn(must, lines, f"{must!r} missing from the listing of {typed}\n"
                                  + res.describe())
                bad = [l for l in lines if not l.startswith(b"Z:\\") or l.count(b"\\") != 1]
                self.assertFalse(bad, f"malformed root entries {bad[:5]!r}\n" + res.describe())

    @only("wine", "drive letters exist only on Windows")
    def test_drive_letter_keeps_the_case_typed(self):
        typed = "z" + self.c.abs("nested")[1:]
        self.assert_listing(["LIST", typed, "/R"], "nested", NESTED_ALL,
                            fmt=lambda p: "z" + self.c.full(p)[1:])
        # Upper-casing still applies to the whole displayed name.
        self.assert_listing(["LIST", typed, "/U"], "nested", ["top.txt", "x", "w", "v"],
                            fmt=lambda p: self.c.full(p).upper())

    def test_trailing_separator_and_dot_components(self):
        self.assert_listing(["LIST", self.c.abs("basic") + self.c.sep], "basic", BASIC_TOP)
        self.assert_listing(["LIST", self.c.abs("basic/sub/..")], "basic", BASIC_TOP)
        self.assert_listing(["LIST", self.c.abs("basic/./sub")], "basic/sub", ["s1.txt", "deeper"])


class SlowFileSystem(E2E):
    """The trees seen through bench/slowfs.c (natively, where FUSE mounts):
    every read waits there, so the walk's read-ahead grows to many threads
    reading far ahead. The output must be the very bytes that the walk of the
    same tree from memory gives, in the same order (the passthrough lists
    each directory in the order of the tree below it), and a refusal must
    still stop the run with its message alone."""

    mnt = None
    why = "the program was built without libfuse3 (no slowfs to mount)"

    @classmethod
    def setUpClass(cls):
        ctx = cls.ctx
        if not ctx.slowfs:
            return
        if not os.path.isfile(ctx.slowfs):
            cls.why = f"slowfs is not built: {ctx.slowfs}"
            return
        mnt = os.path.join(ctx.tmp, "slowmnt")
        os.makedirs(mnt, exist_ok=True)
        # slowfs returns once the mount is made, or failed: a slow mount is
        # waited for, and only a refused one is no test. Not mounted
        # read-only: the one file it lets be written is "flushfails".
        rc = subprocess.run([ctx.slowfs, ctx.root, mnt, "--delay-us", "500", "--deny",
                             "barred", "--fail-readdir", "broken", "--fail-readdir-after",
                             "brokenlate", "--fail-flush", "flushfails"],
                            stderr=subprocess.DEVNULL).returncode
        if rc != 0:
            cls.why = "FUSE cannot be mounted here (no /dev/fuse, or not allowed)"
            return
        deadline = time.monotonic() + 120
        while not os.path.ismount(mnt):
            if time.monotonic() > deadline:
                raise RuntimeError(f"slowfs mounted nothing on {mnt}")
            time.sleep(0.1)
        cls.mnt = mnt

    @classmethod
    def tearDownClass(cls):
        if cls.mnt:
            # Lazily: a mount still busy goes as soon as it is not.
            subprocess.run(["fusermount3", "-u", "-z", cls.mnt], timeout=20)
            cls.mnt = None

    def need(self, wine_too=False, under_wine="Wine reports a failed directory read as its end"):
        """The mount; under Wine only for what Wine passes on."""
        if not self.mnt:
            raise NotApplicable(self.why)
        if self.c.wine and not wine_too:
            raise NotApplicable(under_wine)

    def through(self, args):
        self.need(under_wine="compared with a native walk")
        res = self.c.run(args)
        self.c.check_status(res, 0)
        return res.out.replace(self.mnt.encode(), self.c.root.encode())

    def single_threaded_order(self, top):
        """LIST /R of top as a plain recursive walk in the kernel's order gives it."""
        lines = []
        for e in os.scandir(top):
            lines.append(e.path.encode() + b"\n")
            if e.is_dir(follow_symlinks=False):
                lines += self.single_threaded_order(e.path)
        return lines

    def test_same_bytes_in_the_same_order(self):
        wide = "wide"
        out = self.through(["LIST", os.path.join(self.mnt or "", wide), "/R"])
        self.assertEqual(out, b"".join(self.single_threaded_order(self.c.unix(wide))))
        args = ["/R", "/P=$DATETIME"]
        out = self.through(["LIST", os.path.join(self.mnt, wide)] + args)
        self.assertEqual(out, self.c.run(["LIST", self.c.abs(wide)] + args).out)
        table = self.through(["DIR", os.path.join(self.mnt or "", wide), "/R"])
        res = self.c.run(["DIR", self.c.abs(wide), "/R"])
        cut = b" - DRIVE INFO"
        self.assertEqual(table.split(cut)[0], res.out.split(cut)[0])

    def test_a_failed_directory_read_stops_the_run(self):
        # At the first read, or after some entries: never an empty or a
        # shorter listing. EIO is shown as the system numbers it.
        for parent, name in (("first", "broken"), ("late", "brokenlate")):
            for command in ("LIST", "DIR", "STAT"):
                with self.subTest(name=name, command=command):
                    self.need()
                    failed = os.path.join(self.mnt, "faults", parent, name)
                    res = self.c.run([command, os.path.join(self.mnt, "faults", parent), "/R"])
                    self.c.check_failure(res, f"{message(IO_EIO)} [{failed}]")
                    res = self.c.run([command, failed])
                    self.c.check_failure(res, f"{message(IO_EIO)} [{failed}]")

    def test_a_failed_directory_read_is_named_with_continue(self):
        self.need()
        top = os.path.join(self.mnt, "faults")
        res = self.c.run(["LIST", top, "/R", "/C"])
        err = sorted(res.err.decode().splitlines())
        self.assertEqual((res.rc, err), (1, [f"{message(IO_EIO)} [{top}/{name}]"
                                             for name in ("first/broken", "late/brokenlate")]),
                         res.describe())
        for name in ("first/broken", "late/brokenlate", "ok", "ok/f.txt", "flushfails"):
            self.assertIn(f"{top}/{name}\n".encode(), res.out)
        self.assertNotIn(b"x.txt", res.out)
        self.assertNotIn(b"y1.txt", res.out)

    def test_an_output_whose_close_fails_is_a_failure(self):
        # The share takes every byte and reports its full quota only at close.
        self.need(under_wine="Wine passes on no failure of closing a file")
        out = os.open(os.path.join(self.mnt, "faults", "flushfails"), os.O_WRONLY | os.O_TRUNC)
        try:
            p = subprocess.run([self.c.exe, "LIST", self.c.abs("wide"), "/R"], stdout=out,
                               stderr=subprocess.PIPE, timeout=120)
        finally:
            try:
                os.close(out)  # fails alike: every close of the file does
            except OSError:
                pass
        self.assertEqual((p.returncode, p.stderr), (1, f"{message(101)}\n".encode()))

    def test_interrupted_on_a_terminal_erases_the_progress_line(self):
        self.need(under_wine="a POSIX terminal")
        from cases_hostile import make_chain
        make_chain(self.c.unix("interrupted"), "d", 3000)
        try:
            master, slave = open_terminal(70)
            env, _ = self.c._env(self.c.default_locale, None)
            for sig in (signal.SIGINT, signal.SIGTERM):
                p = subprocess.Popen([self.c.exe, "LIST", os.path.join(self.mnt, "interrupted"),
                                      "/R"], stdout=subprocess.DEVNULL, stderr=slave,
                                     stdin=subprocess.DEVNULL, env=env)
                err = b""
                while b"\rScanning: " not in err:
                    err += os.read(master, 65536)
                p.send_signal(sig)
                # Ended as the signal ends a process: the parent sees the signal.
                self.assertEqual(p.wait(timeout=60), -sig)
                time.sleep(0.2)
                while True:
                    fcntl.fcntl(master, fcntl.F_SETFL, os.O_NONBLOCK)
                    try:
                        err += os.read(master, 65536)
                    except OSError:
                        break
                    fcntl.fcntl(master, fcntl.F_SETFL, 0)
                fcntl.fcntl(master, fcntl.F_SETFL, 0)
                self.assertRegex(err, rb"\r {69}\r$")
            os.close(slave)
            os.close(master)
        finally:
            subprocess.run(["rm", "-rf", self.c.unix("interrupted")], check=False)

    def test_progress_line_only_on_a_terminal(self):
        # A chain walked through the slow mount takes well over a second.
        self.need(under_wine="a POSIX terminal")
        from cases_hostile import make_chain
        make_chain(self.c.unix("progress"), "d", 1200)
        try:
            target = os.path.join(self.mnt, "progress")
            master, slave = open_terminal(70)
            env, _ = self.c._env(self.c.default_locale, None)
            with open(os.path.join(self.c.tmp, "progress.out"), "wb+") as out:
                p = subprocess.Popen([self.c.exe, "LIST", target, "/R"], stdout=out,
                                     stderr=slave, stdin=subprocess.DEVNULL, env=env)
                os.close(slave)
                err = read_terminal(master)
                self.assertEqual(p.wait(timeout=120), 0)
                out.seek(0)
                self.assertEqual(out.read().count(b"\n"), 1200)
            self.assertIn(b"\rScanning: ", err)
            self.assertRegex(err, rb"\r +\r$")  # erased at the end
            self.assertTrue(all(len(line) < 70 for line in err.split(b"\r")), err[-300:])
            # Into a file: nothing but the listing.
            res = self.c.run(["LIST", target, "/R"])
            self.c.check_status(res, 0)
        finally:
            subprocess.run(["rm", "-rf", self.c.unix("progress")], check=False)

    def test_refusal_stops_the_run_with_its_message_alone(self):
        # Also under Wine, as the user it runs as (root) would not be refused
        # a directory of the tree itself.
        for command in ("LIST", "DIR", "STAT"):
            with self.subTest(command=command):
                self.need(wine_too=True)
                res = self.c.run([command, self.c.host(os.path.join(self.mnt, "wideshut")), "/R"])
                barred = os.path.join(self.mnt, f"wideshut/a{WIDE - 1}/b{WIDE - 2}/c1/barred")
                self.c.check_failure(res, f"{message(5)} [{self.c.host(barred)}]")
