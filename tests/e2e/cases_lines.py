"""Lines that do what they say: hostile names, many holding macro words,
through templates that put macros outside quotes, inside the user's quotes,
mid-word and alone. The lines run by sh natively and by cmd under Wine (as a
/BAT batch file), and a recording program writes down the words each line
gives it: nothing may run, and every word must be exactly the value."""

from __future__ import annotations

import os
import shutil
import subprocess

from cases_hostile import JSON_WRITES_ALL, HostileTree
from e2e_base import only

# Writes each argument as the C runtime splits the command line, in UTF-8,
# ended by \1, and each call ended by \2.
RECORDER_C = r"""
#include <stdio.h>
#include <windows.h>
int wmain(int argc, wchar_t** argv) {
  FILE* f = _wfopen(L"rec.txt", L"ab");
  if (!f) return 1;
  for (int i = 1; i < argc; ++i) {
    static char buf[65536];
    int n = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, buf, sizeof buf, NULL, NULL);
    fwrite(buf, 1, n > 0 ? n - 1 : 0, f);
    fputc(1, f);
  }
  fputc(2, f);
  fclose(f);
  return 0;
}
"""
RECORDER_SH = "rec() { for a in \"$@\"; do printf '%s\\001' \"$a\"; done; printf '\\002'; } >>rec.txt\n"


def split_ext(name: str) -> tuple[str, str]:
    dot = name.rfind(".")
    return (name, "") if dot <= 0 else (name[:dot], name[dot:])


class LinesDoWhatTheySay(HostileTree):
    NAMES = ["a b.txt", "it's.txt", "$NAME;touch PWNED1;.x", "$EXT.$(touch PWNED2)", "$SIZE.txt",
             "0.txt", "x$SIZE", "$REL & mkdir PWNED3 & rem x", "$PARENT", "100%x.txt", "%PATH%.txt",
             "bang!.txt", "caret^x.txt", "R&D.txt", "café.txt", "noext", "$SELF", "x$DATEy",
             "sub dir (1)/in&echo PWNED4.txt", "sub dir (1)/$REL"]
    POSIX_NAMES = ['say "hi".txt', "back`touch PWNED5`", "back\\slash", "star*.txt",
                   "$(touch PWNED6)", "$EXT. * ", "a'b\"c", "-dash"]
    POSIX_TEMPLATES = {
        "rec $SELF": lambda e: [e["full"]],
        'rec "$SELF"': lambda e: [e["full"]],
        "rec '$REL'": lambda e: [e["rel"]],
        "rec backup/$REL": lambda e: ["backup/" + e["rel"]],
        "rec --to=$REL": lambda e: ["--to=" + e["rel"]],
        "rec $PARENT/$NAME.png": lambda e: [e["parent"] + "/" + e["stem"] + ".png"],
        "rec $NAME $EXT": lambda e: [e["stem"], e["ext"]],
        "rec \"x$NAME\" '$EXT'y": lambda e: ["x" + e["stem"], e["ext"] + "y"],
        "rec $FULL \"$PARENT\"/'$SHORT'": lambda e: [e["full"], e["full"]],
        # A command substitution is a command of its own, inside quotes too;
        # "${V:-...}" in and out of quotes; arithmetic; a comment.
        'rec "$(printf %s $SHORT)" "x$(printf %s "$REL")"': lambda e: [e["name"], "x" + e["rel"]],
        'rec ${V:-$SHORT} "${V:-$NAME}" $(($SIZE + 1)) # it\'s': lambda e: [e["name"], e["stem"], "2"],
    }
    WINDOWS_TEMPLATES = {
        "{rec} $SELF": lambda e: [e["full"]],
        "{rec} backup\\$REL": lambda e: ["backup\\" + e["rel"]],
        "{rec} --to=$REL": lambda e: ["--to=" + e["rel"]],
        "{rec} $PARENT\\$NAME.png": lambda e: [e["parent"] + "\\" + e["stem"] + ".png"],
        "{rec} $NAME $EXT": lambda e: [e["stem"], e["ext"]],
        "{rec} $FULL x$SHORT": lambda e: [e["full"], "x" + e["name"]],
        # A block's, an "if"'s and a "for" set's parentheses stay cmd's; a "^"
        # the user wrote still escapes.
        "if exist $FULL ({rec} $FULL)": lambda e: [e["full"]],
        "for %%f in ($FULL) do {rec} %%f pre^&$SHORT": lambda e: [e["full"], "pre&" + e["name"]],
    }

    def make_tree(self) -> list[str]:
        names = self.NAMES + ([] if self.c.wine else self.POSIX_NAMES)
        for name in names:
            path = os.path.join(self.base, "src", name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w") as f:
                f.write("x")
        os.makedirs(os.path.join(self.base, "work"))
        return names

    def entry(self, rel: str) -> dict:
        parent_rel, _, name = rel.rpartition("/")
        stem, ext = split_ext(name)
        src = self.host("src")
        parent = src + (self.c.sep + parent_rel.replace("/", self.c.sep) if parent_rel else "")
        return {"full": parent + self.c.sep + name, "rel": rel.replace("/", self.c.sep),
                "parent": parent, "name": name, "stem": stem, "ext": ext}

    def recorder(self) -> str:
        """The recording program for cmd's lines, built for the program's processor."""
        wine64 = self.c.wine_loader.endswith("wine64")
        compiler = "x86_64-w64-mingw32-gcc" if wine64 else "i686-w64-mingw32-gcc"
        if shutil.which(compiler) is None:
            raise AssertionError(f"{compiler} not found (Debian package g++-mingw-w64)")
        source = os.path.join(self.base, "rec.c")
        with open(source, "w") as f:
            f.write(RECORDER_C)
        exe = os.path.join(self.base, "rec.exe")
        subprocess.run([compiler, "-municode", "-O1", source, "-o", exe], check=True)
        return self.c.host(exe)

    def recorded(self) -> list[tuple[str, ...]]:
        path = os.path.join(self.base, "work", "rec.txt")
        if not os.path.exists(path):
            return []
        with open(path, "rb") as f:
            data = f.read().decode("utf-8")
        os.remove(path)
        return sorted(tuple(call.split("\1")[:-1]) for call in data.split("\2")[:-1])

    def pwned(self) -> list[str]:
        found = []
        for top, dirs, files in os.walk(self.base):
            found += [os.path.join(top, n) for n in dirs + files if n.startswith("PWNED")]
        return found

    def test_every_word_is_exactly_its_value(self):
        names = self.make_tree()
        entries = [self.entry(n) for n in names]
        if self.c.wine:
            rec = self.recorder()
            templates = {t.format(rec=rec): f for t, f in self.WINDOWS_TEMPLATES.items()}
        else:
            templates = self.POSIX_TEMPLATES
        batch = os.path.join(self.base, "lines.bat" if self.c.wine else "lines.sh")
        for template, expected in templates.items():
            with self.subTest(template=template):
                res = self.c.run(["LIST", self.host("src"), "/R", "/D", "/BAT", "/LINE=" + template])
                self.c.check_status(res, 0)
                with open(batch, "wb") as f:
                    f.write(b"" if self.c.wine else RECORDER_SH.encode())
                    f.write(res.out)
                ran = self.c.run_batch(batch, cwd=os.path.join(self.base, "work"))
                problem = f"lines:\n{res.out.decode('latin-1')}\n{ran.describe()}  errors: {ran.err!r}"
                self.assertEqual(self.pwned(), [], problem)
                self.assertEqual(self.recorded(), sorted(tuple(expected(e)) for e in entries), problem)

    def test_templates_no_shell_reads_surely_are_refused(self):
        self.make_tree()
        posix = ['echo "$SHORT', "echo '\\$SHORT", "echo $SHORT \\", "echo `basename $FULL`",
                 "cat <<EOF\n$SHORT\nEOF", "echo US$$SHORT", 'echo "$(printf %s $SHORT']
        # A Windows command line cannot hold a quote: it comes from %Q%.
        for option in (["echo %Q%$SHORT", "echo $SHORT ^"] if self.c.wine else posix):
            with self.subTest(option=option):
                res = self.c.run(["LIST", self.host("src"), "/R", "/LINE=" + option], env={"Q": '"'})
                shown = option.replace("\n", "?")  # a message shows a control byte so
                self.c.check_failure(res, f"Invalid value [/LINE={shown}]")
        res = self.c.run(["LIST", self.host("src"), "/P=echo %Q%", "/S=%Q%", "/M:0.txt"], env={"Q": '"'})
        self.c.check_exact(res, f'echo " {self.entry("0.txt")["full"]} "\n')

    @only("wine", "code page 932 is the Windows program's")
    def test_code_page_932_names_ending_in_a_trail_backslash(self):
        # 表 and ソ end in the byte 0x5C, which is no backslash: a line for cmd
        # and the C runtime doubles none before the closing quote.
        ja = "ja_JP.UTF-8"
        src = os.path.join(self.base, "w7")
        os.makedirs(os.path.join(self.base, "work"))
        names = ["old 表", "a ソ", "keep.txt"]
        os.makedirs(src)
        for name in names:
            open(os.path.join(src, name), "w").close()
        res = self.c.run(["LIST", self.c.host(src), "/D", "/BAT", "/M:*表;*ソ", "/P=del"], locale=ja)
        self.c.check_status(res, 0)
        lines = sorted(res.out.decode("cp932").splitlines())
        self.assertEqual(lines, sorted(f'del "{self.c.host(src)}\\{n}"' for n in names[:2]), res.describe())
        batch = os.path.join(self.base, "del.bat")
        with open(batch, "wb") as f:
            f.write(res.out)
        ran = self.c.run_batch(batch, cwd=os.path.join(self.base, "work"), locale=ja)
        self.assertEqual(sorted(os.listdir(src)), ["keep.txt"], ran.describe())
        # The next word stays a word of its own for the C runtime.
        for name in names[:2]:
            open(os.path.join(src, name), "w").close()
        rec = self.recorder()
        res = self.c.run(["LIST", self.c.host(src), "/D", "/BAT", "/M:*表;*ソ", f"/LINE={rec} $FULL tail"],
                         locale=ja)
        with open(batch, "wb") as f:
            f.write(res.out)
        self.c.run_batch(batch, cwd=os.path.join(self.base, "work"), locale=ja)
        self.assertEqual(self.recorded(), sorted((self.c.host(src) + "\\" + n, "tail") for n in names[:2]))

    def test_nul_records_and_exact_seconds(self):
        names = self.make_tree()
        # A name holding a macro word is written as it is, never as another file's.
        res = self.c.run(["LIST", self.host("src"), "/R", "/D", "/0", "/LINE=$SELF"])
        self.c.check_status(res, 0)
        self.assertEqual(sorted(res.out.split(b"\0")[:-1]),
                         sorted(self.entry(n)["full"].encode(self.c.encoding()) for n in names))
        # The ISO texts count whole seconds: 10:00:01 stays 10:00:01.
        stamp = 1700042401  # 2023-11-15 10:00:01 UTC
        os.utime(os.path.join(self.base, "src", "0.txt"), (stamp, stamp))
        res = self.c.run(["LIST", self.host("src"), "/M:0.txt", "/LINE=$ISODATE $ISOTIME $STAMP"])
        self.c.check_exact(res, "2023-11-15 10:00:01 20231115-100001\n")

    @only("wine", "only a Unix name reaches a Windows program in a form Win32 rewrites")
    def test_names_win32_reads_as_other_files(self):
        # Win32 drops a last dot or blank and maps device names: "del" given
        # "keep " deletes keep, given nul.txt the null device.
        src = os.path.join(self.base, "src")
        os.makedirs(os.path.join(src, "d."))
        rewritten = ["keep ", "x.", "nul.txt", "COM1.log", "conin$", "Aux", "lpt9.x"]
        for name in ["keep", "ok.txt", "d./in.txt"] + rewritten:
            with open(os.path.join(src, name), "w") as f:
                f.write(name)
        named = sorted(f"Name Windows reads as another file; /JSON writes it [{self.host('src')}\\{n}]"
                       for n in rewritten + ["d."])
        # Nothing is written, not even with /0, and every such name is named
        # (the directory once for what is in it).
        for extra in ([], ["/0"]):
            res = self.c.run(["LIST", self.host("src"), "/R", "/BAT", "/P=del"] + extra)
            self.assertEqual((res.rc, res.out), (1, b""), res.describe())
            err = res.err.decode().replace("\r\n", "\n").split("\n")
            self.assertEqual((sorted(err[:-2]), err[-2:]), (named, [JSON_WRITES_ALL, ""]))
        # With /C they are left out and reported; cmd deletes exactly the others.
        res = self.c.run(["LIST", self.host("src"), "/R", "/BAT", "/C", "/P=del"])
        self.assertEqual(res.rc, 1, res.describe())
        self.assertEqual(sorted(res.err.decode().replace("\r\n", "\n").split("\n")[:-1]), named)
        batch = os.path.join(self.base, "del.bat")
        with open(batch, "wb") as f:
            f.write(res.out)
        ran = self.c.run_batch(batch, cwd=self.base)
        self.assertEqual(sorted(os.listdir(src)), sorted(rewritten + ["d."]), ran.describe())
        self.assertEqual(os.listdir(os.path.join(src, "d.")), ["in.txt"])

    @only("wine", "only a Unix name reaches a Windows program with these characters")
    def test_names_no_windows_line_can_hold(self):
        os.makedirs(os.path.join(self.base, "src"))
        for name in ("x>PWNED7", "ok.txt"):
            open(os.path.join(self.base, "src", name), "w").close()
        res = self.c.run(["LIST", self.host("src"), "/P=echo"])
        self.c.check_failure(res, f"Name not writable on one line; /0 writes it [{self.host('src')}\\x>PWNED7]\n"
                             "Nothing written: /C leaves these names out; /0 or /JSON writes them")
        res = self.c.run(["LIST", self.host("src"), "/C", "/F"])
        self.c.check_exact(res, "ok.txt\n", rc=1,
                           err=f"Name not writable on one line; /0 writes it [{self.host('src')}\\x>PWNED7]\n")
