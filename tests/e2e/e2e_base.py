"""Base class of the end-to-end cases: one shared Ctx, small shorthands."""

from __future__ import annotations

import fcntl
import functools
import os
import shutil
import struct
import termios
import unittest

from harness import Ctx


class NotApplicable(unittest.SkipTest):
    """A case that cannot exist on this platform (reported, never silent)."""


def only(mode: str, why: str):
    """Marks a case (or every case of a class) as existing in one mode only."""
    def wrap(fn):
        if isinstance(fn, type):
            for name in list(vars(fn)):
                if name.startswith("test"):
                    setattr(fn, name, wrap(getattr(fn, name)))
            return fn

        @functools.wraps(fn)
        def inner(self, *a, **k):
            if self.ctx.mode != mode:
                raise NotApplicable(why)
            return fn(self, *a, **k)
        return inner
    return wrap


def open_terminal(columns: int) -> tuple[int, int]:
    """A pseudo-terminal that many columns wide: (master, slave)."""
    master, slave = os.openpty()
    fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 24, columns, 0, 0))
    return master, slave


def read_terminal(master: int) -> bytes:
    """All the terminal shows until its last writer has gone; closes master."""
    shown = b""
    while True:
        try:
            chunk = os.read(master, 65536)
        except OSError:  # the terminal's last writer has gone
            break
        if not chunk:
            break
        shown += chunk
    os.close(master)
    return shown


class E2E(unittest.TestCase):
    ctx: Ctx = None  # set by run_e2e.py before the cases run

    maxDiff = None

    @property
    def c(self) -> Ctx:
        return self.ctx

    def run_tvx(self, *args, **kw):
        return self.ctx.run(list(args), **kw)

    def lines_of(self, tree_dir: str, rels, fmt=None):
        """(tree path, expected line) for entries of tree_dir; by default the full name."""
        out = []
        for r in rels:
            path = f"{tree_dir}/{r}"
            out.append((path, fmt(path) if fmt else self.c.full(path)))
        return out

    def assert_listing(self, args, tree_dir, rels, fmt=None, rc=0, err="", **kw):
        res = self.ctx.run(list(args), **kw)
        self.ctx.check_entries(res, self.lines_of(tree_dir, rels, fmt), rc=rc, err=err)
        return res

    def run_unprivileged(self, args, **kw):
        """A run to which closed directories are closed: natively as user 65534
        when the suite runs as root, under Wine with the rights the harness
        left it."""
        if os.geteuid() != 0:
            return self.ctx.run(list(args), **kw)
        if self.ctx.wine:
            if not self.ctx.wine_caps:
                raise NotApplicable("setpriv cannot drop root's override of permissions for Wine")
            return self.ctx.run(list(args), **kw)
        if shutil.which("setpriv") is None:
            raise AssertionError("setpriv not found (Debian package util-linux): cannot drop privileges")
        # The run's copy of the program lies where user 65534 can reach it.
        return self.ctx.run(list(args), as_nobody=True, **kw)

    def assert_failure(self, args, message: str, **kw):
        """A run ended by a failure, its message where the platform reports it."""
        res = self.ctx.run(list(args), **kw)
        self.ctx.check_failure(res, message, locale=kw.get("locale"))
        return res

    def assert_output(self, args, expected: str, rc=0, **kw):
        res = self.ctx.run(list(args), **kw)
        self.ctx.check_exact(res, expected, rc=rc)
        return res
