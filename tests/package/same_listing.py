#!/usr/bin/env python3
"""The native tvx and tvx.exe under Wine print the same listing of one tree.

    same_listing.py --native build/native/tvx --windows build/windows/tvx.exe

Both programs list the same temporary tree with the same options. The Windows
output is brought to POSIX form (CR LF to LF, the drive Z: that Wine maps to
"/" dropped, "\\" to "/") and compared with the native output line by line,
after sorting: directory order differs between the two systems, but the set
of lines must not. Wine runs in a prefix of its own with a persistent
wineserver, and its output is captured through a file (a wineserver may hold
a pipe open long after the program ended).
"""

import argparse
import os
import shlex
import shutil
import subprocess
import sys
import tempfile

# The same options on both sides. LIST with no options, recursive; with bare
# names and a prefix holding a macro; only files, quoting off, upper case;
# a prefix and a suffix around the full path, quoted where it holds a blank
# (in double quotes for cmd, in single quotes for a POSIX shell).
CASES = [
    ["/R"],
    ["/R", "/F", "/P=echo $SELF"],
    ["/R", "/D", "/Q", "/U"],
    ["/R", "/D", "/P=copy", "/S=$NAME$EXT.bak"],
    ["/R", "/L", "/P=[$PARENT]"],
]

# A tree with plain files, a name with blanks, a nested directory, an empty
# directory and a name with a dot at the start. Only ASCII, no "\", so the
# path mapping below is exact.
TREE_FILES = {
    "a.txt": b"abc",
    "Mixed Case Name.TXT": b"1234",
    "sub/b.log": b"",
    "sub/deeper/c d.txt": b"x",
    ".hidden": b"h",
}
TREE_DIRS = ["sub", "sub/deeper", "empty"]


class Failure(Exception):
    pass


def make_tree(root):
    for d in TREE_DIRS:
        os.makedirs(os.path.join(root, d), exist_ok=True)
    for name, data in TREE_FILES.items():
        with open(os.path.join(root, name), "wb") as f:
            f.write(data)


def base_env():
    env = {k: v for k, v in os.environ.items()
           if not (k.startswith("LC_") or k.startswith("WINE")
                   or k in ("LANG", "LANGUAGE", "TZ"))}
    env.update({"TZ": "UTC", "LC_ALL": "en_US.UTF-8", "WINEDEBUG": "-all"})
    return env


def run_to_file(argv, env, out_path, what):
    with open(out_path, "wb") as out:
        try:
            proc = subprocess.run(argv, env=env, stdin=subprocess.DEVNULL, stdout=out,
                                  stderr=subprocess.PIPE, timeout=300)
        except subprocess.TimeoutExpired:
            raise Failure(f"{what} did not end within 300 s: {argv}")
    with open(out_path, "rb") as f:
        data = f.read()
    if proc.returncode != 0:
        raise Failure(f"{what} ended with exit code {proc.returncode}: {argv}\n"
                      f"output: {data!r}\nstderr: {proc.stderr[-500:]!r}")
    return data


def to_wine_path(posix_path):
    return "Z:" + posix_path.replace("/", "\\")


def windows_to_posix(data, what):
    """CR LF line ends to LF, Z:\\... paths to /... paths, cmd's double quotes
    to a POSIX shell's single quotes (no name here holds either)."""
    text = data.decode("ascii")
    if text and not text.endswith("\r\n"):
        raise Failure(f"{what}: the output does not end in CR LF: {data[-40:]!r}")
    body = text.replace("\r\n", "\n")
    if "\r" in body:
        raise Failure(f"{what}: a CR that is not part of a CR LF: {data!r}")
    # /L lower-cases the drive letter along with the rest of the path.
    return body.replace("Z:\\", "/").replace("z:\\", "/").replace("\\", "/").replace('"', "'")


def posix_text(data, what):
    text = data.decode("ascii")
    if "\r" in text:
        raise Failure(f"{what}: the native output holds CR: {data!r}")
    if text and not text.endswith("\n"):
        raise Failure(f"{what}: the native output does not end in LF: {data[-40:]!r}")
    return text


def compare(native, windows, args, tree):
    # The words each shell reads: a word that holds a quoted macro is quoted
    # whole for cmd and piece by piece for sh, and reads the same.
    n_lines = sorted(tuple(shlex.split(line)) for line in native.splitlines())
    w_lines = sorted(tuple(shlex.split(line)) for line in windows.splitlines())
    if not n_lines:
        raise Failure(f"LIST {tree} {' '.join(args)}: the native program printed nothing")
    if n_lines != w_lines:
        only_n = sorted(set(n_lines) - set(w_lines))
        only_w = sorted(set(w_lines) - set(n_lines))
        raise Failure(
            f"LIST {tree} {' '.join(args)}: the listings differ\n"
            f"native:\n  " + "\n  ".join(native.splitlines()) + "\n"
            f"windows (mapped to POSIX form):\n  " + "\n  ".join(windows.splitlines()) + "\n"
            f"only native: {only_n}\nonly windows: {only_w}")


def check_preorder(text, tree, who):
    """In a plain recursive listing every directory comes before its contents."""
    seen = set()
    for line in text.splitlines():
        path = line[1:-1] if line[:1] in "'\"" and line[-1:] == line[:1] else line
        parent = os.path.dirname(path)
        if parent != tree and parent not in seen:
            raise Failure(f"{who}: {path} is listed before its directory {parent}:\n{text}")
        seen.add(path)


def start_wine(tmp, env, loader):
    for tool in (loader, "wineserver"):
        if shutil.which(tool) is None:
            raise Failure(f"{tool} not found: install wine, wine32 and wine64 "
                          "(dpkg --add-architecture i386)")
    prefix = os.path.join(tmp, "wineprefix")
    os.makedirs(prefix)
    env["WINEPREFIX"] = prefix
    env["WINEDLLOVERRIDES"] = "mscoree,mshtml="
    if loader != "wine":
        env["WINELOADER"] = loader
    subprocess.run(["wineserver", "-p"], env=env, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
    log = os.path.join(tmp, "wineboot.log")
    with open(log, "wb") as f:
        subprocess.run([loader, "wineboot", "-i"], env=env, stdin=subprocess.DEVNULL,
                       stdout=f, stderr=f, timeout=300, check=False)
    z = os.path.join(prefix, "dosdevices", "z:")
    if os.path.realpath(z) != "/":
        with open(log, "rb") as f:
            tail = f.read()[-500:]
        raise Failure(f"the Wine prefix has no drive Z: mapped to / (wineboot: {tail!r})")


def stop_wine(env):
    if "WINEPREFIX" not in env:
        return
    subprocess.run(["wineserver", "-k"], env=env, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
    subprocess.run(["wineserver", "-w"], env=env, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False,
                   timeout=60)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--native", required=True, help="the native program")
    ap.add_argument("--windows", required=True, help="tvx.exe")
    ap.add_argument("--wine", default="wine",
                    help="the Wine loader (default: wine; /usr/lib/wine/wine64 for a 64-bit build)")
    opts = ap.parse_args()

    if not os.access(opts.native, os.X_OK):
        print(f"FAIL: the native program {opts.native} is missing: "
              "cmake --preset native && cmake --build --preset native")
        return 1
    if not os.path.isfile(opts.windows):
        print(f"FAIL: the Windows program {opts.windows} is missing: "
              "cmake --preset windows && cmake --build --preset windows")
        return 1

    tmp = tempfile.mkdtemp(prefix="tvx-same-")
    env = base_env()
    failures = []
    try:
        tree = os.path.join(tmp, "tree")
        make_tree(tree)
        start_wine(tmp, env, opts.wine)
        for i, args in enumerate(CASES):
            what = f"LIST {tree} {' '.join(args)}"
            try:
                native = posix_text(run_to_file(
                    [opts.native, "LIST", tree] + args, env,
                    os.path.join(tmp, f"native{i}.out"), f"native {what}"), what)
                windows = windows_to_posix(run_to_file(
                    [opts.wine, opts.windows, "LIST", to_wine_path(tree)] + args, env,
                    os.path.join(tmp, f"wine{i}.out"), f"Wine {what}"), what)
                compare(native, windows, args, tree)
                if args == ["/R"]:
                    check_preorder(native, tree, "native")
                    check_preorder(windows, tree, "Wine")
                print(f"ok   {what} ({len(native.splitlines())} lines)")
            except Failure as e:
                print(f"FAIL {e}")
                failures.append(what)
    except Failure as e:
        print(f"FAIL: {e}")
        failures.append("setup")
    finally:
        try:
            stop_wine(env)
        finally:
            shutil.rmtree(tmp, ignore_errors=True)
    if failures:
        print(f"{len(failures)} of {len(CASES)} listings differ or failed")
        return 1
    print(f"same listing: {len(CASES)} of {len(CASES)} alike")
    return 0


if __name__ == "__main__":
    sys.exit(main())
