"""Shaped lines: the copy-tree recipe run by the platform's interpreter on
hostile names, NUL-ended records, sorted listings, and the real System32."""

from __future__ import annotations

import os

from e2e_base import NotApplicable, only
from cases_hostile import HostileTree, SafeBatches

# Directories whose names each interpreter would misread unquoted.
DIRS = ["sub dir (1)", "R&D;x", "a,b=c", "deep/er [2]/and~more"]
POSIX_DIRS = ["it's $(touch PWNED6)", "100% `x`"]


class ShapedLines(HostileTree):
    def tree(self) -> list[str]:
        """Files (each holding its own name, so none is empty) in hostile
        directories; returns every entry's path under src, directories too."""
        dirs = DIRS + (POSIX_DIRS if not self.c.wine else [])
        names = SafeBatches.NAMES + (SafeBatches.POSIX_NAMES if not self.c.wine else [])
        files = [n for n in names if "/" not in n]
        entries = set()
        for d in dirs:
            for name in files[: 4 + len(d) % 5]:
                rel = f"{d}/{name}"
                os.makedirs(os.path.join(self.base, "src", d), exist_ok=True)
                with open(os.path.join(self.base, "src", rel), "w") as f:
                    f.write(rel)
                entries.add(rel)
            parts = d.split("/")
            entries.update("/".join(parts[: i + 1]) for i in range(len(parts)))
        for name in files:
            with open(os.path.join(self.base, "src", name), "w") as f:
                f.write(name)
            entries.add(name)
        os.makedirs(os.path.join(self.base, "dest"))
        os.makedirs(os.path.join(self.base, "work"))
        return sorted(entries)

    def snapshot(self, top: str) -> dict[str, int | None]:
        """Every entry under top: its size, or None for a directory."""
        found = {}
        for here, dirs, files in os.walk(os.path.join(self.base, top)):
            rel = os.path.relpath(here, os.path.join(self.base, top))
            for d in dirs:
                found[os.path.normpath(os.path.join(rel, d))] = None
            for f in files:
                found[os.path.normpath(os.path.join(rel, f))] = os.path.getsize(os.path.join(here, f))
        return found

    def test_copy_tree_recipe_rebuilds_the_tree_under_hostile_names(self):
        self.tree()
        dest = self.host("dest") + self.c.sep
        mkdir, copy = ("mkdir ", "copy ") if self.c.wine else ("mkdir -p ", "cp ")
        res = self.c.run(["LIST", self.host("src"), "/R", "/A:D", f"/LINE={mkdir}{dest}$REL"])
        self.c.check_status(res, 0)
        batch = res.out
        res = self.c.run(["LIST", self.host("src"), "/R", "/D", f"/LINE={copy}$SELF {dest}$REL"])
        self.c.check_status(res, 0)
        batch += res.out
        path = os.path.join(self.base, "copy.bat" if self.c.wine else "copy.sh")
        with open(path, "wb") as f:
            f.write(batch)
        before = self.snapshot("")
        ran = self.c.run_batch(path, cwd=os.path.join(self.base, "work"))
        problem = f"batch:\n{batch.decode('latin-1')}\n{ran.describe()}  output: {ran.out!r}\n  errors: {ran.err!r}"
        self.assertEqual(ran.rc, 0, problem)
        if not self.c.wine:
            self.assertEqual((ran.out, ran.err), (b"", b""), problem)
        # The target equals the source, names and sizes; nothing else is made.
        self.assertEqual(self.snapshot("dest"), self.snapshot("src"), problem)
        made = {k for k in self.snapshot("") if k not in before}
        self.assertEqual(made, {os.path.join("dest", k) for k in self.snapshot("src")}, problem)

    def test_nul_ended_records_and_sorted_lists(self):
        entries = self.tree()
        src = self.host("src")
        # Every name exactly, quoted nothing, each record ended by a NUL.
        res = self.c.run(["LIST", src, "/R", "/0"])
        self.c.check_status(res, 0)
        self.assertTrue(res.out.endswith(b"\0"), res.describe())
        full = [src + self.c.sep + self.c.rel(e) for e in entries]
        self.assertEqual(sorted(res.out.split(b"\0")[:-1]), sorted(f.encode() for f in full))
        # Sorted by name: the same lines on every run, each directory's
        # contents right after its own line. Names compare by bytes on POSIX,
        # ignoring letter case on Windows.
        res = self.c.run(["LIST", src, "/R", "/O:N", "/Q", "/LINE=$REL"])
        self.c.check_status(res, 0)
        key = (lambda p: p.upper()) if self.c.wine else (lambda p: p)
        expected = sorted(entries, key=lambda e: [key(part) for part in e.split("/")])
        self.assertEqual(res.out, "".join(self.c.rel(e) + self.c.lb for e in expected).encode())
        # Directories first, then by size from the largest; reversed names.
        res = self.c.run(["LIST", src, "/O:G-S", "/F", "/Q"])
        self.c.check_status(res, 0)
        top = [e for e in entries if "/" not in e]
        size = lambda e: -1 if os.path.isdir(os.path.join(self.base, "src", e)) else len(e)
        expected = sorted(sorted(top, key=key), key=lambda e: (size(e) >= 0, -size(e)))
        self.assertEqual(res.out, "".join(e + self.c.lb for e in expected).encode())
        res = self.c.run(["LIST", src, "/O:-N", "/F", "/Q"])
        self.assertEqual(res.out, "".join(e + self.c.lb for e in sorted(top, key=key, reverse=True)).encode())
        # Bad values stop the run before the scan.
        for bad in ("/O:X", "/ORDER:-", "/LINE=x"):
            self.assert_failure(["LIST", src, bad, "/S=y"] if bad.startswith("/LINE") else ["LIST", src, bad],
                                f"Invalid value [{bad}]")

    @only("wine", "the 32-bit program's file system redirection exists on Windows only")
    def test_system_folder_is_listed_as_it_is(self):
        # Redirection would show SysWOW64's entries under System32's name.
        system32 = os.path.join(self.c.wineprefix, "drive_c", "windows", "system32")
        if not os.path.isdir(system32):
            raise NotApplicable("the Wine prefix has no system32 folder")
        on_disk = sorted(os.fsencode(n) for n in os.listdir(system32))
        res = self.c.run(["LIST", "C:\\windows\\system32", "/F", "/Q"])
        self.c.check_status(res, 0)
        self.assertEqual(sorted(res.out.split(b"\r\n")[:-1]), on_disk)
        # Read ahead by the worker threads too: the top level is the same.
        res = self.c.run(["LIST", "C:\\windows\\system32", "/R", "/Q", "/LINE=$REL"])
        self.c.check_status(res, 0)
        top = [n for n in res.out.split(b"\r\n")[:-1] if b"\\" not in n]
        self.assertEqual(sorted(top), on_disk)
