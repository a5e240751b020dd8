"""The registry exchange with Windows, proven with Wine's own registry tools: what korvane-reg
exports, Wine's regedit imports with every character intact, and what Wine's regedit exports (or
a REGEDIT4 file in the Western Windows code page) korvane-reg imports as Wine reads it.

Usage: wine_registry.py KORVANE_REG. Exits 77 (skipped) when wine is not installed."""

import os
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

SKIP = 77
GROESSE = "C:\\Spiele\\Gr\u00f6\u00dfe"
FUER = "F\u00fcr Spieler \u20ac"


def run(args, env, timeout=300):
    result = subprocess.run(args, env=env, capture_output=True, timeout=timeout)
    if result.returncode != 0:
        sys.exit(f"{args} failed with status {result.returncode}: {result.stdout!r} {result.stderr!r}")
    return result.stdout


def console_text(raw):
    # Wine's reg writes to a pipe in the console code page (437 for an English or C locale);
    # a UTF-8 one is accepted too.
    try:
        return raw.decode("utf-8")
    except UnicodeDecodeError:
        return raw.decode("cp437")


def check(condition, message):
    if not condition:
        sys.exit("FAILED: " + message)


def main():
    if not shutil.which("wine"):
        return SKIP
    korvane_reg = sys.argv[1]
    work = Path(tempfile.mkdtemp(prefix="korvane-wine-registry-"))
    env = dict(os.environ, WINEPREFIX=str(work / "prefix"), WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=", LC_ALL="C.UTF-8",
               KORVANE_REGISTRY=str(work / "registry.reg"))
    try:
        round_trip(korvane_reg, work, env)
    finally:
        subprocess.run(["wineserver", "-k"], env=env, capture_output=True, timeout=60)
        shutil.rmtree(work, ignore_errors=True)
    return 0


def reg(korvane_reg, env, *args):
    return run([korvane_reg, *args], env).decode("utf-8")


def round_trip(korvane_reg, work, env):
    key = r"HKCU\Software\KRV"
    reg(korvane_reg, env, "add", key, "/v", "DestDir", "/d", GROESSE, "/f")
    reg(korvane_reg, env, "add", key, "/v", "SecondsToJoin", "/t", "REG_DWORD", "/d", "10", "/f")
    reg(korvane_reg, env, "add", key, "/v", "Paths", "/t", "REG_MULTI_SZ", "/d", GROESSE + r"\0x", "/f")

    # Out: korvane-reg export, Wine's regedit imports, Wine's reg shows the values.
    exported = work / "korvane.reg"
    reg(korvane_reg, env, "export", key, str(exported))
    run(["wine", "regedit", "/S", str(exported)], env)
    shown = console_text(run(["wine", "reg", "query", key], env))
    for line in ("DestDir    REG_SZ    " + GROESSE, "SecondsToJoin    REG_DWORD    0xa",
                 "Paths    REG_MULTI_SZ    " + GROESSE + "\\0x"):
        check(line in shown, f"wine reg query lacks {line!r}:\n{shown}")

    # Back: a value set on the Windows side, Wine's regedit export, korvane-reg import.
    run(["wine", "reg", "add", key, "/v", "CMDLine", "/d", FUER, "/f"], env)
    back = work / "wine.reg"
    run(["wine", "regedit", "/E", str(back), r"HKEY_CURRENT_USER\Software\KRV"], env)
    env_back = dict(env, KORVANE_REGISTRY=str(work / "back.reg"))
    reg(korvane_reg, env_back, "import", str(back))
    shown = reg(korvane_reg, env_back, "query", key)
    for line in ("DestDir    REG_SZ    " + GROESSE, "SecondsToJoin    REG_DWORD    0xa",
                 "CMDLine    REG_SZ    " + FUER, "Paths    REG_MULTI_SZ    " + GROESSE + "\\0x"):
        check(line in shown, f"korvane-reg query after the import lacks {line!r}:\n{shown}")

    # A REGEDIT4 file as a Western Windows writes it, in Windows-1252: both read the same text.
    ansi = work / "ansi.reg"
    ansi.write_bytes(("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Ansi]\r\n\"DestDir\"=\""
                      + GROESSE.replace("\\", "\\\\") + "\"\r\n").encode("cp1252"))
    run(["wine", "regedit", "/S", str(ansi)], env)
    check("DestDir    REG_SZ    " + GROESSE
          in console_text(run(["wine", "reg", "query", r"HKCU\Software\Ansi"], env)),
          "Wine does not read the Windows-1252 file as expected")
    reg(korvane_reg, env, "import", str(ansi))
    shown = reg(korvane_reg, env, "query", r"HKCU\Software\Ansi")
    check("DestDir    REG_SZ    " + GROESSE in shown,
          f"korvane-reg reads the Windows-1252 file otherwise than Wine:\n{shown}")


if __name__ == "__main__":
    sys.exit(main())
