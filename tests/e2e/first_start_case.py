"""A first start as from the desktop menu: no settings at all, the game installed in a Wine prefix
whose registry names its folder, and a Korvane once installed there under Windows. The setup
dialog is answered with keys, then Arena, taken over from the Windows Korvane, is hosted through
the launcher setup chose, with the game's prefix."""

import os
from pathlib import Path

from arena import arena, check_installed
from harness import MAIN_TITLE, check, check_unchanged, snapshot

SETUP_TITLE = "Korvane Setup"
# From the modpack list: Arena, then past the comments, the share box and the alternate field.
HOST_ARENA_KEYS = ["Down", "Tab", "Tab", "Tab", "Tab", "space"]

USER_REG = r"""WINE REGISTRY Version 2
;; All keys relative to \\User\\S-1-5-21-0-0-0-1000

#arch=win32

[Software\\KRV] 1700000000
#time=1d9f0e4c2b5a6e0
"DestDir"="C:\\Korvane"
"SecondsToJoin"=dword:00000007

[Software\\PlanetMoon\\Giants] 1700000000
#time=1d9f0e4c2b5a6e0
"DestDir"="C:\\Program Files\\Giants\\"
"""


def case_first_start(h):
    h.start_display()
    home = h.work / "home"
    prefix = home / ".wine"
    game = prefix / "drive_c" / "Program Files" / "Giants"
    player = h.player("player", game_dir=game)
    # No settings at all, as right after an installation.
    player.registry.unlink()
    # Every real giants.exe is a Windows program; the stand-in Wine below runs the stand-in game
    # in its place.
    (game / "giants.exe").write_bytes(b"MZ stand-in")
    (prefix / "dosdevices").mkdir(parents=True)
    os.symlink("../drive_c", prefix / "dosdevices" / "c:")
    (prefix / "user.reg").write_text(USER_REG)
    (prefix / "system.reg").write_text("WINE REGISTRY Version 2\n")
    windows_korvane = prefix / "drive_c" / "Korvane"
    (windows_korvane / "Modpacks").mkdir(parents=True)
    (windows_korvane / "Master.abx").write_bytes(b"master abx")
    (windows_korvane / "KRVworldlist.bin").write_bytes(b"korvane's default world list")
    (windows_korvane / "worldlist.bin").write_bytes(player.GAME_FILES["bin/worldlist.bin"])
    arena(windows_korvane / "Modpacks" / "Arena.gck")
    windows_files = snapshot(windows_korvane)

    bin_dir = home / "bin"
    bin_dir.mkdir()
    recorded_prefix = h.work / "wineprefix"
    wine = bin_dir / "wine"
    wine.write_text(f'#!/bin/sh\nprintf "%s" "$WINEPREFIX" > "{recorded_prefix}"\nshift\n'
                    f'exec "{h.args.standin}" "$@"\n')
    wine.chmod(0o755)
    before = snapshot(game)

    proc = player.start(HOME=str(home), WINEPREFIX="", KORVANE_WINE="",
                        PATH=f"{bin_dir}:{os.environ['PATH']}")
    # Enter takes the installation found, with the Windows Korvane taken over.
    h.answer(SETUP_TITLE, "Return", watch=[proc], shot="setup-dialog")
    player.own = player.dir / "data" / "korvane"
    h.press(MAIN_TITLE, *HOST_ARENA_KEYS, watch=[proc])
    started = player.game_started([proc])
    check(started == {"args": ["-host"], "cwd": str(game)}, f"the game started as {started}")
    check(recorded_prefix.read_text() == str(prefix),
          f"the game ran with WINEPREFIX={recorded_prefix.read_text()!r}")
    check_installed(player)
    player.release.touch()
    h.answer(MAIN_TITLE, "Escape", watch=[proc])
    check(h.wait_exit(proc, 60) == 0, f"korvane ended with status {proc.returncode}")
    check_unchanged(game, before, "game after hosting")
    check_unchanged(windows_korvane, windows_files, "the Windows Korvane's folder")
    check(not player.message_lines(), f"messages: {player.message_lines()}")

    settings = h.reg(player, "query", r"HKCU\Software\KRV")
    for expected in (str(player.own), "Launcher", "SecondsToJoin"):
        check(expected in settings, f"{expected} is not among the stored settings:\n{settings}")
    check(str(game) in h.reg(player, "query", r"HKCU\Software\PlanetMoon\Giants"),
          "the game's folder was not stored")
    check((player.own / "Master.abx").read_bytes() == b"master abx", "Master.abx was not copied")
