"""The game as Linux players run it: a real Windows giants.exe in a Wine prefix, in a folder whose
path holds spaces, set up the way the README tells a player to."""

import os
import shutil
import subprocess
from pathlib import Path

from arena import arena, check_installed
from harness import MAIN_TITLE, SKIP, Failure, check, check_unchanged, snapshot

GAME_WINDOWS_PATH = r"C:\Program Files\Giants Citizen Kabuto"
CMDLINE = '-window "+name Bob Smith"'
CMDLINE_ARGS = ["-window", "+name Bob Smith"]
# From the modpack list to the join address, with no modpack chosen (the share controls are off).
JOIN_FIELD_KEYS = ["Tab", "Tab", "Tab"]
SPAWN_MESSAGE = ("Korvane\tError spawning Giants\\nIf Giants did not start, check that it is "
                 "installed properly.\\nIf Giants did start, it did not exit properly.")


def wine(env, *args, timeout=180):
    result = subprocess.run(["wine", *args], env=env, capture_output=True, text=True,
                            timeout=timeout)
    check(result.returncode == 0, f"wine {' '.join(args)} failed: {result.stdout}{result.stderr}")
    return result.stdout


def case_wine(h):
    if not (shutil.which("wine") and shutil.which("winepath") and h.args.standin_exe):
        raise SystemExit(SKIP)
    prefix = Path(h.args.work) / "wineprefix"  # kept between runs: creating one takes seconds
    # No Mono or Gecko: a new prefix would otherwise offer to download them.
    env = dict(os.environ, WINEPREFIX=str(prefix), WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=")
    try:
        run_wine_case(h, env)
    finally:
        subprocess.run(["wineserver", "-k"], env=env, capture_output=True, timeout=60)


def run_wine_case(h, env):
    # The game's installer wrote its folder into the Wine registry, as on Windows.
    wine(env, "reg", "add", r"HKCU\Software\PlanetMoon\Giants", "/v", "DestDir", "/t", "REG_SZ",
         "/d", GAME_WINDOWS_PATH, "/f")
    unix_game = wine_path(env, GAME_WINDOWS_PATH)
    shutil.rmtree(unix_game, ignore_errors=True)
    h.start_display()
    player = h.player("player", game_dir=unix_game, standin=h.args.standin_exe)

    # The README's way: export from Wine, import, then point DestDir at the folder as Linux sees it.
    exported = h.work / "giants.reg"
    wine(env, "regedit", "/E", str(exported), r"HKEY_CURRENT_USER\Software\PlanetMoon\Giants")
    h.reg(player, "import", str(exported))
    check(GAME_WINDOWS_PATH in h.reg(player, "query", r"HKCU\Software\PlanetMoon\Giants"),
          "the imported DestDir is not in the registry store")
    player.set_registry(game_dest=str(unix_game), cmdline=CMDLINE)
    before = snapshot(unix_game)
    arena(player.own / "Modpacks" / "Arena.gck")

    def play(*args, status="0", drive=None, installed=False):
        release = str(player.release) if installed else ""
        proc = player.start(*args, WINEPREFIX=env["WINEPREFIX"], WINEDEBUG="-all",
                            WINEDLLOVERRIDES=env["WINEDLLOVERRIDES"], GIANTS_STANDIN_WAIT=release,
                            GIANTS_STANDIN_STATUS=status)
        if drive:
            drive(proc)
        game = player.game_started([proc], timeout=120)
        if installed:
            check_installed(player)
            player.release.touch()
        if not args:  # not automated: the window stays open until the player closes it
            h.answer(MAIN_TITLE, "Escape", watch=[proc])
        check(h.wait_exit(proc, 120) == 0, f"korvane {args} ended with status {proc.returncode}")
        check(game["cwd"] == GAME_WINDOWS_PATH, f"the game ran in {game['cwd']!r}")
        check_unchanged(unix_game, before, f"game after korvane {args}")
        return game["args"]

    game_args = play("-krv_selectgck", "Arena.gck", "-krv_autohost", installed=True)
    check(game_args == CMDLINE_ARGS + ["-host"], f"host: the game received {game_args}")
    game_args = play("-host", "-name", "Bob Smith", "-krv_autohost")
    check(game_args == CMDLINE_ARGS + ["-host", "-name", "Bob Smith", ""],
          f"host with -host: the game received {game_args}")
    # "Join Normal" is the host-check dialog's default button: Enter joins without a modpack.
    def join_normal(proc):
        h.answer("KRV Host Check", "Return", watch=[proc])

    def join_by_hand(proc):
        h.press(MAIN_TITLE, *JOIN_FIELD_KEYS, watch=[proc])
        h.xdotool("type", "--delay", "20", "127.0.0.1")
        h.xdotool("key", "Tab", "space")
        join_normal(proc)

    game_args = play(drive=join_by_hand)
    check(game_args == CMDLINE_ARGS + ["-join", "127.0.0.1"],
          f"join by hand: the game received {game_args}")
    game_args = play("-krvdebug", "-join", "127.0.0.1", 'x"y', drive=join_normal)
    # Windows splits the quoted pass-through text "x"y" into one argument: xy and a blank.
    check(game_args == CMDLINE_ARGS + ["", "-join", "127.0.0.1", "xy "],
          f"join: the game received {game_args}")
    check(not player.message_lines(), f"messages: {player.message_lines()}")
    play("-krv_autohost", status="3")
    check(player.message_lines() == [SPAWN_MESSAGE],
          f"exit status 3 gave the messages {player.message_lines()}")


def wine_path(env, windows_path):
    result = subprocess.run(["winepath", "-u", windows_path], env=env, capture_output=True,
                            text=True, timeout=120)
    if result.returncode != 0:
        raise Failure(f"winepath failed: {result.stderr}")
    return Path(result.stdout.strip())
