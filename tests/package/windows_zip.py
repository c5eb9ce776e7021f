#!/usr/bin/env python3
"""Packs a Windows build with CPack and checks the zip: its name says
win32 or win64, and it holds a tvx.exe for that processor and a README.txt
whose every line ends in CR LF.

    windows_zip.py build/windows win32
    windows_zip.py build/windows64 win64
"""

import glob
import os
import struct
import subprocess
import sys
import tempfile
import zipfile


# The machine field of the PE header for each package kind.
MACHINES = {"win32": 0x14C, "win64": 0x8664}


def pe_machine(exe: bytes) -> int:
    if not exe.startswith(b"MZ") or len(exe) < 0x40:
        return -1
    pe = struct.unpack_from("<I", exe, 0x3C)[0]
    if exe[pe:pe + 4] != b"PE\0\0":
        return -1
    return struct.unpack_from("<H", exe, pe + 4)[0]


def main() -> int:
    build = sys.argv[1] if len(sys.argv) > 1 else "build/windows"
    kind = sys.argv[2] if len(sys.argv) > 2 else "win32"
    config = os.path.join(build, "CPackConfig.cmake")
    if not os.path.exists(config):
        print(f"no {config}: build the Windows program first (cmake --preset windows)")
        return 1
    with tempfile.TemporaryDirectory() as out:
        subprocess.run(["cpack", "--config", config, "-B", out], check=True,
                       stdout=subprocess.DEVNULL)
        zips = glob.glob(os.path.join(out, "*.zip"))
        if len(zips) != 1:
            print(f"expected one zip, found {zips}")
            return 1
        if not os.path.basename(zips[0]).endswith(f"-{kind}.zip"):
            print(f"{os.path.basename(zips[0])} is not named for {kind}")
            return 1
        with zipfile.ZipFile(zips[0]) as z:
            names = {os.path.basename(n): n for n in z.namelist()}
            for wanted in ("tvx.exe", "README.txt"):
                if wanted not in names:
                    print(f"{wanted} missing from {zips[0]}: {sorted(names)}")
                    return 1
            readme = z.read(names["README.txt"])
            lines = readme.split(b"\n")[:-1]
            if not lines or any(not line.endswith(b"\r") for line in lines):
                print("README.txt has lines without CR LF")
                return 1
            machine = pe_machine(z.read(names["tvx.exe"]))
            if machine != MACHINES[kind]:
                print(f"tvx.exe is not a {kind} Windows program (machine {machine:#x})")
                return 1
    print(f"windows zip {kind}: 1 passed, 0 failed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
