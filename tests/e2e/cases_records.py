"""Records (/JSON and /CSV) over a tree of hostile names, read back with
Python's json and csv parsers and every field compared with the file system."""

from __future__ import annotations

import base64
import csv
import io
import json
import os
import stat
import subprocess
from datetime import datetime, timezone

from e2e_base import E2E

FIELDS = ["path", "rel", "name", "ext", "type", "size", "mtime", "attr", "depth", "raw"]
# Names any platform holds, then those only POSIX does (Windows names hold no
# '"' or control character, and no bytes but UTF-16).
NAMES = ["a,b.txt", " lead.txt", "caf\u00e9.txt", "\u65e5\u672c \u8a9e/x.md", "=cmd().csv",
         "sub dir/nested/deep.bin", ".hidden", "plain"]
POSIX_NAMES = [b'say "hi".txt', b"ctl\x01.txt", b"line\nbreak.txt", b"tab\t.txt", b"trail .txt",
               b"bad\xff\xfe.bin", b"\xe9dir/f", b"back\\slash"]
# 2026-07-01 and 2026-12-07, both at an odd second: summer and winter time.
SUMMER, WINTER = 1782900001, 1796654681
# 2026-10-25 00:30 and 01:30 UTC: both 02:30 in Berlin, the hour its clocks repeat.
TWICE = 1792888200, 1792891800


def instant(mtime: str) -> int:
    """An mtime read as RFC 3339 in UTC, the only form records write."""
    when = datetime.strptime(mtime, "%Y-%m-%dT%H:%M:%SZ")
    return int(when.replace(tzinfo=timezone.utc).timestamp())


class Records(E2E):
    def setUp(self):
        self.base = self.c.unix(f"records-{self.id().rsplit('.', 1)[-1]}").encode()
        names = [n.encode() for n in NAMES] + ([] if self.c.wine else POSIX_NAMES)
        for i, name in enumerate(names):
            path = os.path.join(self.base, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(b"x" * i)
            os.utime(path, (SUMMER if i % 2 else WINTER,) * 2)
        if not self.c.wine:
            os.symlink(b"plain", os.path.join(self.base, b"link"))
            os.chmod(os.path.join(self.base, b"plain"), 0o444)

    def tearDown(self):
        subprocess.run(["rm", "-rf", self.base], check=False)

    def host(self) -> str:
        return self.c.host(self.base.decode("utf-8", "surrogateescape"))

    def real_path(self, record: dict) -> bytes:
        """The record's path as the Unix bytes it names."""
        if "raw" in record and record["raw"]:
            path = base64.b64decode(record["raw"])
        else:
            path = record["path"].encode()
        if self.c.wine:
            self.assertTrue(path.startswith(b"Z:"), record)
            path = path[2:].replace(b"\\", b"/")
        return path

    def expected_tree(self) -> set[bytes]:
        found = set()
        for where, dirs, files in os.walk(self.base):
            found |= {os.path.join(where, n) for n in dirs + files}
        return found

    def check_record(self, r: dict):
        path = self.real_path(r)
        st = os.lstat(path)
        rel = os.path.relpath(path, self.base)
        shown = lambda b: b.decode("utf-8", "replace").replace("/", self.c.sep)
        self.assertEqual(r["rel"], shown(rel), r)
        self.assertEqual(r["name"], shown(os.path.basename(path)), r)
        self.assertEqual("raw" in r and bool(r["raw"]), b"\xff" in path or b"\xe9d" in path, r)
        name = os.path.basename(path)
        dot = name.rfind(b".")
        self.assertEqual(r["ext"], shown(name[dot:]) if dot > 0 else "", r)
        kind = "link" if stat.S_ISLNK(st.st_mode) else "dir" if stat.S_ISDIR(st.st_mode) else "file"
        self.assertEqual(r["type"], kind, r)
        self.assertEqual(int(r["size"]), st.st_size if kind == "file" else 0, r)
        self.assertEqual(instant(r["mtime"]), int(st.st_mtime), r)
        self.assertEqual(int(r["depth"]), rel.count(b"/") + 1, r)
        if not self.c.wine:
            want = ("D" if kind == "dir" else "") + ("H" if name.startswith(b".") else "") + \
                   ("R" if kind != "link" and not st.st_mode & stat.S_IWUSR else "") + \
                   ("L" if kind == "link" else "")
            self.assertEqual(r["attr"], want, r)
        else:
            self.assertEqual("D" in r["attr"], kind == "dir", r)
        return path

    def records(self, args, **kw) -> list[dict]:
        res = self.c.run(["LIST", self.host(), "/R", "/JSON"] + args, **kw)
        self.assertEqual(res.rc, 0, res.describe())
        self.assertTrue(res.out.endswith(self.c.lb.encode()), res.describe())
        return [json.loads(line) for line in res.out.decode("utf-8").split(self.c.lb)[:-1]]

    def test_json_and_csv_name_every_entry_exactly(self):
        found = self.records([])
        self.assertEqual(list(found[0]), FIELDS[:len(found[0])])
        self.assertEqual({self.check_record(r) for r in found}, self.expected_tree())
        self.assertEqual(len(found), len(self.expected_tree()))
        # Streamed with /C, in name order: the same records.
        self.assertEqual(self.records(["/O:N", "/C"]), self.records(["/O:N"]))
        res = self.c.run(["LIST", self.host(), "/R", "/CSV", "/O:N", "/F", "/U", "/Q"])
        text = res.out.decode("utf-8")
        self.assertEqual(text.startswith("\ufeff"), self.c.wine, res.describe())
        self.assertTrue(text.endswith(self.c.lb), res.describe())
        rows = list(csv.reader(io.StringIO(text.lstrip("\ufeff"), newline="")))
        self.assertEqual(rows[0], FIELDS)
        want = [[str(r.get(k, "")) for k in FIELDS] for r in self.records(["/O:N"])]
        self.assertEqual(rows[1:], want)

    def test_dir_total_stat_object_and_utc_times(self):
        res = self.c.run(["DIR", self.host(), "/R", "/JSON"])
        lines = [json.loads(x) for x in res.out.decode("utf-8").split(self.c.lb)[:-1]]
        total = lines[-1]["total"]
        self.assertEqual(list(total), ["root", "entries", "files", "dirs", "bytes", "drive_bytes",
                                       "drive_free"])
        dirs = sum(r["type"] == "dir" for r in lines[:-1])
        self.assertEqual((total["root"], total["entries"], total["files"], total["dirs"]),
                         (self.host(), len(lines) - 1, len(lines) - 1 - dirs, dirs))
        self.assertEqual(total["bytes"], sum(r["size"] for r in lines[:-1]))
        self.assertGreaterEqual(total["drive_bytes"], total["drive_free"])
        res = self.c.run(["STAT", self.host(), "/R", "/JSON"])
        self.assertEqual(json.loads(res.out.decode("utf-8")),
                         {"root": self.host(), "count": len(lines) - 1,
                          "files": total["files"], "dirs": dirs, "bytes": total["bytes"]})
        if self.c.wine:
            return
        # Summer, winter and the repeated hour: each the instant, in UTC.
        twice = [os.path.join(self.base, b"first"), os.path.join(self.base, b"second")]
        for path, when in zip(twice, TWICE):
            open(path, "wb").close()
            os.utime(path, (when, when))
        zone = {"TZ": "Europe/Berlin"}
        found = self.records(["/M:a,b.txt;plain;first;second"], env=zone)
        self.assertEqual({r["name"]: r["mtime"] for r in found},
                         {"a,b.txt": "2026-12-07T14:44:41Z", "plain": "2026-07-01T10:00:01Z",
                          "first": "2026-10-25T00:30:00Z", "second": "2026-10-25T01:30:00Z"})
        for r in found:
            self.check_record(r)
        # Lines keep local time: both show the hour the clock showed twice.
        res = self.c.run(["LIST", self.host(), "/M:first;second", "/LINE=$ISOTIME"], env=zone)
        self.assertEqual(res.out, b"02:30:00\n02:30:00\n", res.describe())

    def test_line_options_beside_records_are_bad_values(self):
        for command, extra in (("LIST", ["/JSON", "/P=echo"]), ("LIST", ["/CSV", "/S=x"]),
                               ("LIST", ["/json", "/LINE=$SELF"]), ("LIST", ["/CSV", "/0"]),
                               ("LIST", ["/JSON", "/CSV"]), ("DIR", ["/R", "/csv"])):
            with self.subTest(extra=extra):
                res = self.c.run([command, self.host()] + extra)
                self.assertEqual(res.rc, 1, res.describe())
                self.assertIn(f"Invalid value [{extra[1]}]".encode(), res.out + res.err)
                self.assertNotIn(b"{", res.out)
