#!/usr/bin/env python3
"""Packs the Windows build with CPack and checks the zip: tvx.exe and a
README.txt whose every line ends in CR LF."""

import glob
import os
import subprocess
import sys
import tempfile
import zipfile


def main() -> int:
    build = sys.argv[1] if len(sys.argv) > 1 else "build/windows"
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
            if not z.read(names["tvx.exe"]).startswith(b"MZ"):
                print("tvx.exe is not a Windows program")
                return 1
    print("windows zip: 1 passed, 0 failed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
