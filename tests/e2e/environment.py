"""Setting up what the runs need: the Unix locales, and a Wine prefix and
server."""

from __future__ import annotations

import os
import shutil
import subprocess
import time

from compare import read_file
from harness import Ctx, HarnessError


NEEDED_LOCALES = ["en_US.UTF-8", "de_DE.UTF-8", "ja_JP.UTF-8"]


def _norm_locale(name: str) -> str:
    return name.lower().replace("-", "")


def prepare_locales(ctx: Ctx) -> list[str]:
    """Makes the locales the cases need available; returns notes for the log.

    Uses the system's when all are installed, otherwise builds all of them
    into the run's own folder and points LOCPATH there.
    """
    try:
        have = subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout.split()
    except FileNotFoundError:
        have = []
    have = {_norm_locale(n) for n in have}
    missing = [l for l in NEEDED_LOCALES if _norm_locale(l) not in have]
    if not missing:
        return []
    folder = os.path.join(ctx.tmp, "locales")
    os.makedirs(folder, exist_ok=True)
    notes = [f"locales missing on this machine: {', '.join(missing)}; building them into {folder}"]
    for name in NEEDED_LOCALES:
        lang = name.split(".")[0]
        try:
            p = subprocess.run(["localedef", "-i", lang, "-f", "UTF-8", os.path.join(folder, name)],
                               capture_output=True, text=True)
            ok = p.returncode in (0, 1) and os.path.isdir(os.path.join(folder, name))
            why = (p.stderr or p.stdout).strip()[-300:]
        except FileNotFoundError:
            ok, why = False, "localedef not found (install the Debian package 'locales')"
        if not ok:
            ctx.missing_locales[name] = f"localedef failed: {why}"
            notes.append(f"LOCALE {name} COULD NOT BE BUILT: {why}")
    ctx.locpath = folder
    return notes


def prepare_wine(ctx: Ctx) -> None:
    """A private Wine prefix for this run with a persistent wineserver."""
    for tool in (ctx.wine_loader, "wineserver"):
        if shutil.which(tool) is None:
            raise HarnessError(f"{tool} not found: install wine, wine32 and wine64 "
                               "(dpkg --add-architecture i386)")
    prefix = os.path.join(ctx.tmp, "wineprefix")
    os.makedirs(prefix)
    ctx.wineprefix = prefix
    env, _ = ctx._env(ctx.default_locale, None)
    # As root, Wine would enter every directory: its server (which opens the
    # files) and programs run without root's override of permission bits, so
    # a closed directory is closed to them as to a user.
    drop = ["setpriv", "--bounding-set=-dac_override,-dac_read_search"]
    if os.geteuid() == 0 and shutil.which("setpriv") and subprocess.run(
            drop + ["true"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0:
        ctx.wine_caps = drop
    # Persistent while the cases run (a wineserver started by a case would hold
    # that case's output open), yet gone a minute after the last Wine process
    # should this run be killed before it can stop the server itself.
    subprocess.run(ctx.wine_caps + ["wineserver", "-p60"], env=env, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
    t = time.time()
    # Output to a file: the services wineboot starts keep running (and would
    # hold a pipe open) until the wineserver ends.
    log = os.path.join(ctx.tmp, "wineboot.log")
    with open(log, "wb") as f:
        subprocess.run(ctx.wine_caps + [ctx.wine_loader, "wineboot", "-i"], env=env,
                       stdin=subprocess.DEVNULL,
                       stdout=f, stderr=f, timeout=300)
    if not os.path.isdir(os.path.join(prefix, "dosdevices")):
        raise HarnessError("wineboot could not create a Wine prefix: "
                           + read_file(log).decode("utf-8", "replace")[-500:])
    z = os.path.join(prefix, "dosdevices", "z:")
    if os.path.realpath(z) != "/":
        raise HarnessError("the Wine prefix has no drive Z: mapped to /")
    return time.time() - t


def stop_wine(ctx: Ctx) -> None:
    if ctx.wineprefix:
        env, _ = ctx._env(ctx.default_locale, None)
        subprocess.run(["wineserver", "-k"], env=env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
        subprocess.run(["wineserver", "-w"], env=env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False, timeout=60)
