"""Bad input and hostile surroundings: odd parameters, unreadable directories, broken output."""

from __future__ import annotations

import os
import subprocess
import time

from e2e_base import E2E, only
from texts import BANNER, message
from trees import MANY_FILES, TURNS_FILES, WIDE


class KeptInTurns(E2E):
    """Over 8,192 entries a kept list is written by two threads in turns."""

    def test_the_kept_list_is_the_streamed_one(self):
        # Without /C the lines come after the walk, in turns; with /C as the
        # walk meets them: the same bytes in the same order either way.
        for command in (["LIST"], ["DIR"], ["LIST", "/CSV"], ["DIR", "/JSON"]):
            args = [command[0], self.c.abs("turns"), "/R"] + command[1:]
            kept, streamed = self.c.run(args), self.c.run(args + ["/C"])
            self.c.check_status(kept, 0)
            # The drive's free space may change between the two runs.
            cut = (lambda out: out[:out.rfind(b"drive_bytes")]) if "/JSON" in command else \
                (lambda out: out.split(b"DRIVE INFO")[0])
            self.assertEqual(cut(kept.out), cut(streamed.out), " ".join(command))
            self.assertGreater(kept.out.count(b"\n"), 3 * TURNS_FILES)

    def test_a_failed_write_in_turns_ends_with_status_1(self):
        args = ["LIST", self.c.abs("turns"), "/R", "/P=" + "p" * 400]
        res = self.c.run(args, stdout_path="/dev/full")
        self.c.check_status(res, 1, message(101) + "\n")
        res = self.c.run(args, head_lines=1)
        self.c.check_status(res, 1)
        self.assertEqual(len(self.c.split_lines(res)), 1)


class OddParameters(E2E):
    def one_line(self, prefix="", suffix=""):
        return prefix + self.c.full("one/only.txt") + suffix + "\n"

    def test_over_long_prefix_is_kept_whole(self):
        value = "".join(chr(ord("a") + i % 26) for i in range(1000))
        self.assert_output(["LIST", self.c.abs("one"), "/P=" + value, "/S=" + value[::-1]],
                           self.one_line(value + " ", " " + value[::-1]))

    def test_over_long_directory_is_reported_whole(self):
        name = "n" * 300
        self.assert_failure(["LIST", name], f"Specified directory [{name}] is not found.")

    def test_percent_in_odd_places(self):
        env = {"TVX_E2E_VAR": "hello"}
        d = self.c.abs("one")
        for value, prefix in [("%", "%"), ("%TVX_E2E_VAR", "%TVX_E2E_VAR"),
                              ("TVX_E2E_VAR%", "TVX_E2E_VAR%"),
                              ("%TVX_E2E_VAR%x%TVX_E2E_VAR%", "helloxhello"),
                              ("a%TVX_E2E_VAR%-%TVX_E2E_NONE%b", "ahello-%TVX_E2E_NONE%b")]:
            with self.subTest(value=value):
                self.assert_output(["LIST", d, "/P=" + value], self.one_line(prefix + " "), env=env)

    @only("native", "a double quote cannot reach a Windows parameter")
    def test_quotes_in_values(self):
        self.assert_output(["LIST", self.c.abs("one"), '/P=say "hi" "', '/S="'],
                           self.one_line('say "hi" " ', ' "'))
        # A quote left open would join the next entry's line to this one.
        self.assert_failure(["LIST", self.c.abs("one"), '/P=say "hi"', '/S="'], 'Invalid value [/S="]')

    def test_option_like_names(self):
        # Names that look like switches stay names; only parameters are switches.
        res = self.c.run(["LIST", self.c.abs("dollars"), "/F", "/Q"])
        self.c.check_entries(res, [(f"dollars/{n}", n) for n in
                                   ["$DATE.txt", "$SHORT", "100%.txt", "%TVX_E2E_VAR%.txt", "a%b%c",
                                    "-R", "--help", "-h", "-dash"]])


PAD = "p" * 12000  # makes a listing of "many" about 3.6 MB


def padded_listing(c):
    """The entries and lines of `LIST many /P=PAD`."""
    return [(f"many/file-{i:04d}.txt", f"{PAD} {c.full(f'many/file-{i:04d}.txt')}")
            for i in range(MANY_FILES)]


class LargeOutput(E2E):
    PAD = PAD

    def expected(self):
        return padded_listing(self.c)

    def test_large_output_is_written_whole(self):
        res = self.c.run(["LIST", self.c.abs("many"), "/P=" + self.PAD])
        self.c.check_entries(res, self.expected())

    def test_large_output_into_a_file_is_written_whole(self):
        # Into a file the large writes may go out from a second thread; the
        # file must hold every line, in the order a pipe gets them.
        path = os.path.join(self.c.tmp, "large-output.txt")
        res = self.c.run(["LIST", self.c.abs("many"), "/P=" + self.PAD], stdout_path=path)
        with open(path, "rb") as f:
            res.out = f.read()
        self.c.check_entries(res, self.expected())
        self.assertGreater(len(res.out), 3 << 20)

    def test_closed_pipe_ends_with_status_1(self):
        # About 3.6 MB into `head -n 1` (more than a pipe can hold even when the
        # program enlarges it): the writes after head has gone fail;
        # the program must end with status 1, not die of SIGPIPE.
        res = self.c.run(["LIST", self.c.abs("many"), "/P=" + self.PAD], head_lines=1)
        self.c.check_status(res, 1)
        lines = self.c.split_lines(res)
        want = {self.c.encode(line) for _, line in self.expected()}
        self.assertTrue(len(lines) == 1 and lines[0] in want,
                        "head did not get one whole listing line\n" + res.describe())

    @only("native", "a descriptor that does not block is a POSIX affair")
    def test_output_that_does_not_block_is_waited_for(self):
        # A parent may leave its pipe not blocking: the program waits for the
        # reader instead of failing with a line cut in two.
        args = ["LIST", self.c.abs("many"), "/P=" + self.PAD]
        read_end, write_end = os.pipe()
        os.set_blocking(write_end, False)
        env, _ = self.c._env(self.c.default_locale, None)
        p = subprocess.Popen([self.c.exe] + args, stdout=write_end, stderr=subprocess.PIPE,
                             stdin=subprocess.DEVNULL, env=env)
        os.close(write_end)
        time.sleep(0.5)  # lets the pipe fill before anything is read
        with os.fdopen(read_end, "rb") as r:
            out = r.read()
        err = p.stderr.read()
        self.assertEqual((p.wait(timeout=120), err), (0, b""))
        self.assertEqual(sorted(out.splitlines()), sorted(self.c.run(args).out.splitlines()))

    def test_full_disk_ends_with_status_1(self):
        # The message goes to standard error on both systems.
        err = message(101) + "\n"
        res = self.c.run(["LIST", self.c.abs("many"), "/P=" + self.PAD], stdout_path="/dev/full")
        self.c.check_status(res, 1, err)
        res = self.c.run(["LIST", self.c.abs("one")], stdout_path="/dev/full")
        self.c.check_status(res, 1, err)
        res = self.c.run([], stdout_path="/dev/full")
        self.c.check_status(res, 1, err)


@only("native", "needs a user without access rights; the Wine prefix belongs to root")
class Unreadable(E2E):
    """Runs as an unprivileged user (natively, when the suite runs as root)."""

    def test_subdirectory_that_cannot_be_entered_stops_the_run(self):
        # "wideshut": the refused directory is read ahead of the walk, late in a wide tree.
        barred = f"wideshut/a{WIDE - 1}/b{WIDE - 2}/c1/barred"
        for tree, closed in (("perm", "perm/closed"), ("wideshut", barred)):
            denied = f"{message(5)} [{self.c.abs(closed)}]"
            for command in ("LIST", "DIR", "STAT"):
                res = self.run_unprivileged([command, self.c.abs(tree), "/R"])
                self.c.check_failure(res, denied)

    def test_message_language_follows_the_messages_locale(self):
        d = self.c.abs("perm/closed")
        rows = [({}, "en"), ({"LC_ALL": "ja_JP.UTF-8"}, "ja"),
                ({"LC_ALL": None, "LC_MESSAGES": "ja_JP.UTF-8", "LANG": "C"}, "ja"),
                ({"LC_ALL": None, "LC_MESSAGES": "", "LANG": "ja_JP.UTF-8"}, "ja"),
                ({"LC_ALL": "C", "LANG": "ja_JP.UTF-8"}, "en")]
        for env, lang in rows:
            with self.subTest(env=env):
                res = self.run_unprivileged(["LIST", d], env=env)
                self.c.check_failure(res, f"{message(5, lang)} [{d}]")

    def test_large_output_without_a_second_thread(self):
        # A user at the process limit cannot start threads: the large writes
        # then go out from the walk itself, and none is lost.
        # (LeakSanitizer, in a sanitizer build, needs a thread of its own at exit.)
        asan = ":".join(filter(None, [os.environ.get("ASAN_OPTIONS"), "detect_leaks=0"]))
        path = os.path.join(self.c.tmp, "no-thread-output.txt")
        res = self.run_unprivileged(["LIST", self.c.abs("many"), "/P=" + PAD], stdout_path=path,
                          max_processes=1, env={"ASAN_OPTIONS": asan})
        with open(path, "rb") as f:
            res.out = f.read()
        self.c.check_entries(res, padded_listing(self.c))
        # A recursive walk there reads every directory itself, in the same order.
        args = ["LIST", self.c.abs("wide"), "/R"]
        limited = self.run_unprivileged(args, max_processes=1, env={"ASAN_OPTIONS": asan})
        self.c.check_status(limited, 0)
        self.assertEqual(limited.out, self.run_unprivileged(args).out, limited.describe())

    def test_closed_directory_itself(self):
        d = self.c.abs("perm/closed")
        res = self.run_unprivileged(["LIST", d])
        self.c.check_failure(res, f"{message(5)} [{d}]")
        res = self.run_unprivileged(["LIST", d, "/C"])
        self.c.check_exact(res, "", rc=1, err=f"{message(5)} [{d}]\n")

    def test_non_recursive_lists_the_closed_directory(self):
        res = self.run_unprivileged(["LIST", self.c.abs("perm")])
        self.c.check_entries(res, self.lines_of("perm", ["a.txt", "closed"]))

    def test_enterable_but_unreadable_directory_stops_the_run(self):
        # Mode 711: it can be entered, not read. It is no empty directory.
        denied = f"{message(5)} [{self.c.abs('perm2/unreadable')}]"
        for command in ("LIST", "DIR", "STAT"):
            res = self.run_unprivileged([command, self.c.abs("perm2"), "/R"])
            self.c.check_failure(res, denied)
        res = self.run_unprivileged(["STAT", self.c.abs("perm2/unreadable")])
        self.c.check_failure(res, denied)
        # /C names it: the listing is incomplete.
        res = self.run_unprivileged(["LIST", self.c.abs("perm2"), "/R", "/C"])
        self.c.check_entries(res, self.lines_of("perm2", ["a.txt", "unreadable"]), rc=1,
                             err=f"{message(5)} [{self.c.abs('perm2/unreadable')}]\n")



class Continue(E2E):
    """/C over a closed directory in the middle of a tree, on both builds."""

    def test_continue_past_a_closed_directory(self):
        d = self.c.abs("permc")
        listed = ["top.txt", "a", "a/in.txt", "closed", "z", "z/deep", "z/deep/in.txt"]
        for locale, lang in ((self.c.default_locale, "en"), ("ja_JP.UTF-8", "ja")):
            with self.subTest(locale=locale):
                denied = f"{message(5, lang)} [{self.c.abs('permc/closed')}]"
                # Every other entry in pre-order, one message on standard error, status 1.
                res = self.run_unprivileged(["LIST", d, "/R", "/C"], locale=locale)
                self.c.check_entries(res, self.lines_of("permc", listed), rc=1, locale=locale,
                                     err=denied + "\n")
                # Without /C the run stops as before.
                res = self.run_unprivileged(["LIST", d, "/R"], locale=locale)
                self.c.check_failure(res, denied, locale=locale)
        denied = f"{message(5)} [{self.c.abs('permc/closed')}]\n"
        res = self.run_unprivileged(["STAT", d, "/CONTINUE", "/R"])
        self.c.check_exact(res, f"{BANNER}\nROOT {d} FileCount=7\n", rc=1, err=denied)
        # DIR counts what was listed.
        res = self.run_unprivileged(["DIR", d, "/R", "/c"])
        self.c.check_status(res, 1, denied)
        self.assertIn(self.c.encode("\n 7 files exists. 0 KB (3 bytes)\n"), res.out, res.describe())
