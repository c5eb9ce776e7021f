"""Comparing what a run printed with what was expected, and showing where
they differ."""

from __future__ import annotations

import collections
import difflib
import unicodedata


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


def arrange(expected: list[bytes], actual: list[bytes]) -> list[bytes]:
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


def output_excerpt(out: bytes, encoding: str) -> str:
    if not out:
        return "  standard output: (empty)\n"
    lines = _split_keep(out)
    shown = "".join("    " + _show(l, encoding) + "\n" for l in lines[:40])
    more = f"    ... {len(lines) - 40} more lines\n" if len(lines) > 40 else ""
    return "  standard output:\n" + shown + more


def read_file(path: str) -> bytes:
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return b""
