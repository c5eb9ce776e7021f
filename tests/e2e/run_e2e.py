#!/usr/bin/python3
"""End-to-end tests of tvx: the same cases against the native program and
against the Windows program under Wine.

    python3 tests/e2e/run_e2e.py --exe build/native/tvx --mode native
    python3 tests/e2e/run_e2e.py --exe build/windows/tvx.exe --mode wine
    python3 tests/e2e/run_e2e.py --exe build/windows64/tvx.exe --mode wine \
        --wine /usr/lib/wine/wine64

Builds its trees in a fresh folder under /tmp, pins TZ=UTC, LC_ALL and
WINEDEBUG for every run, and under Wine uses a Wine prefix of its own with a
persistent wineserver (stopped at the end). Ends with "N passed, M failed"
and a non-zero status when anything failed.
"""

from __future__ import annotations

import argparse
import os
import shutil
import sys
import tempfile
import time
import traceback
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, HERE)

import environment  # noqa: E402
import harness  # noqa: E402
import trees  # noqa: E402
from e2e_base import E2E, NotApplicable  # noqa: E402

CASE_MODULES = ["cases_front", "cases_scan", "cases_list", "cases_dir_stat", "cases_bad",
                "cases_hostile", "cases_choose", "cases_recipes", "cases_shape",
                "cases_lines", "cases_records", "cases_top", "cases_du"]


class Result(unittest.TestResult):
    """Counts per case (a case's sub-cases pass or fail with it)."""

    def __init__(self, verbose: bool):
        super().__init__()
        self.verbose = verbose
        self.outcome: dict[str, str] = {}  # case id -> "pass" | "fail" | "n/a"
        self.reports: list[tuple[str, str]] = []
        self.started = {}

    @staticmethod
    def name(test) -> str:
        return test.id().split(".", 1)[1] if "." in test.id() else test.id()

    def startTest(self, test):
        super().startTest(test)
        self.started[self.name(test)] = time.time()

    def stopTest(self, test):
        super().stopTest(test)
        n = self.name(test)
        state = self.outcome.setdefault(n, "pass")
        if (self.verbose and state != "n/a") or state == "fail":
            took = time.time() - self.started.get(n, time.time())
            print(f"{state.upper():5} {n} ({took:.1f} s)", flush=True)

    def _fail(self, test, err, label=None):
        n = self.name(test)
        self.outcome[n] = "fail"
        exc_type, exc, tb = err
        if isinstance(exc, AssertionError):
            text = str(exc)
        elif isinstance(exc, harness.HarnessError):
            text = f"the suite could not run this case: {exc}"
        else:
            text = "".join(traceback.format_exception(exc_type, exc, tb))
        self.reports.append((n + (f" [{label}]" if label else ""), text))
        print(f"---- FAIL: {n}" + (f" [{label}]" if label else "") + "\n" + text.rstrip() + "\n",
              flush=True)

    def addFailure(self, test, err):
        self._fail(test, err)

    def addError(self, test, err):
        if isinstance(test, unittest.suite._ErrorHolder):
            self.outcome[test.description] = "fail"
        self._fail(test, err)

    def addSubTest(self, test, subtest, err):
        if err is not None:
            if issubclass(err[0], unittest.SkipTest):
                return
            self._fail(test, err, subtest._subDescription())

    def addSkip(self, test, reason):
        self.outcome[self.name(test)] = "n/a"
        if self.verbose:
            print(f"N/A   {self.name(test)}: {reason}", flush=True)


def load_cases(pattern: str | None) -> unittest.TestSuite:
    loader = unittest.TestLoader()
    suite = unittest.TestSuite()
    for mod in CASE_MODULES:
        for test in _flatten(loader.loadTestsFromName(mod)):
            if pattern and pattern.lower() not in test.id().lower():
                continue
            suite.addTest(test)
    return suite


def _flatten(suite):
    for t in suite:
        if isinstance(t, unittest.TestSuite):
            yield from _flatten(t)
        else:
            yield t


def main() -> int:
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--exe", required=True, help="tvx (native) or tvx.exe (wine)")
    ap.add_argument("--mode", required=True, choices=["native", "wine"])
    ap.add_argument("--wine", default="wine",
                    help="the Wine loader (default: wine; /usr/lib/wine/wine64 for a 64-bit build)")
    ap.add_argument("-k", dest="pattern", help="run only cases whose name contains this text")
    ap.add_argument("-v", "--verbose", action="store_true", help="print every case")
    ap.add_argument("--keep", action="store_true", help="keep the run's folder under /tmp")
    ap.add_argument("--slowfs", help="bench/slowfs.c built: cases walk a tree through it")
    opts = ap.parse_args()

    cases = load_cases(opts.pattern)
    total = cases.countTestCases()
    exe = os.path.abspath(opts.exe)
    print(f"tvx end-to-end, mode {opts.mode}, program {exe}, {total} cases", flush=True)

    # A missing program fails every case with one clear message.
    problem = None
    if not os.path.isfile(exe):
        problem = f"the program does not exist: {exe} (build it first)"
    elif opts.mode == "native" and not os.access(exe, os.X_OK):
        problem = f"the program is not executable: {exe}"
    if problem:
        print(f"---- FAIL (every case): {problem}")
        print(f"0 passed, {total} failed")
        return 1

    if total == 0:
        print(f"---- FAIL: no case matches {opts.pattern!r}")
        print("0 passed, 1 failed")
        return 1

    tmp = tempfile.mkdtemp(prefix="tvx-e2e-", dir="/tmp")
    tmp = os.path.realpath(tmp)
    # Run a copy: the tree is shared, and a rebuild during the run must not
    # swap the program under the cases. The copy is where an unprivileged
    # user can run it too.
    os.makedirs(os.path.join(tmp, "bin"))
    run_exe = os.path.join(tmp, "bin", os.path.basename(exe))
    shutil.copy2(exe, run_exe)
    os.chmod(run_exe, 0o755)
    ctx = harness.Ctx(opts.mode, run_exe, tmp, opts.wine)
    ctx.slowfs = os.path.abspath(opts.slowfs) if opts.slowfs else None
    E2E.ctx = ctx
    try:
        try:
            for note in environment.prepare_locales(ctx):
                print(note, flush=True)
            trees.build_all(ctx.root, opts.mode)
            # An unprivileged user must reach the trees (mkdtemp made the folder private).
            os.chmod(tmp, 0o755)
            os.chmod(ctx.root, 0o755)
            if opts.mode == "wine":
                took = environment.prepare_wine(ctx)
                print(f"Wine prefix {ctx.wineprefix} ready in {took:.1f} s", flush=True)
        except Exception as e:  # the suite cannot start: say why, fail everything
            print(f"---- FAIL (every case): could not prepare the test run: {e}")
            print(f"0 passed, {total} failed")
            return 1

        started = time.time()
        result = Result(opts.verbose)
        cases.run(result)
        took = time.time() - started
    finally:
        environment.stop_wine(ctx)
        if opts.keep:
            print(f"kept {tmp}")
        else:
            shutil.rmtree(tmp, ignore_errors=True)

    outcomes = result.outcome.values()
    passed = sum(1 for o in outcomes if o == "pass")
    failed = sum(1 for o in outcomes if o == "fail")
    na = sum(1 for o in outcomes if o == "n/a")
    if result.reports:
        print("failed cases:")
        for n in sorted({r[0].split(" [")[0] for r in result.reports}):
            print(f"  {n}")
    if na:
        print(f"{na} cases do not apply in mode {opts.mode} (run -v to list them)")
    print(f"cases took {took:.1f} s")
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
