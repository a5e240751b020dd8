#!/usr/bin/env python3
"""End-to-end cases: two real korvane processes host and join on loopback, with stand-in games.

Usage: e2e.py --korvane BIN --korvane-reg BIN --standin BIN [--standin-exe EXE]
              --work DIR [--screenshots DIR] [--locales DIR] CASE
Exit status 0 when the case passed, 77 when it cannot run here (no display server, no Wine)."""

import argparse
import os
import random
import re
import shutil
import signal
import socket
import sys
import threading
import time
from pathlib import Path

sys.dont_write_bytecode = True  # keep the source tree clean of __pycache__
from arena import MEMBERS, announcement, arena, check_installed
from harness import MAIN_TITLE, Failure, Harness, check, check_unchanged, snapshot, wait_for

INFO_TITLE = "KRV Modpack Information"
CHECK_TITLE = "KRV Host Check"
# Keyboard paths in the main window, from the modpack list, which has the focus when it opens.
ALTERNATE_FIELD_KEYS = ["Tab", "Tab", "Tab"]
HOST_BUTTON_KEYS = ["Tab", "space"]

HOST_TRACE = ["CKorvaneApp::InitInstance()", "CKorvaneDlg::CKorvaneDlg()",
              "CKorvaneDlg::OnInitDialog()", "GetRegistryItems()", "CKorvaneDlg::LoadList()",
              'CKorvane::GetKRVInfoFromGCK("Arena.gck")', "CKorvane::RestoreGiants()",
              "CKorvaneDlg::OnSelchangeLevelList()", 'CKorvane::InstallLevel("Arena.gck")',
              'CKorvane::ExtractModpack("Arena.gck")', "CKorvane::EditWorldlist()", "ServeLevel()",
              "Creating file server thread", "Opened giantshost.htm for output",
              "Closed giantshost.htm", "Hosting game", "Spawning giants", "Giants spawn complete",
              "Web server has shut down...", "CKorvane::RestoreGiants()"]
JOIN_TRACE = ["CKorvaneApp::InitInstance()", "CKorvaneDlg::OnInitDialog()", "GetRegistryItems()",
              "CKorvaneDlg::LoadList()", "CKorvane::RestoreGiants()", "Connecting to 127.0.0.1",
              "CKorvane::DownloadLevel()", "CKorvane::ShowModpackInfo()",
              'CKorvane::GetKRVInfoFromGCK("Arena.gck")', 'CKorvane::InstallLevel("Arena.gck")',
              "CKorvane::RestoreGiants()"]


def check_in_order(lines, expected, what):
    position = 0
    for line in expected:
        try:
            position = lines.index(line, position) + 1
        except ValueError:
            raise Failure(f"{what}: no line {line!r} after line {position} in {lines}")


def host_by_hand(h, host, source):
    """An alternate download location is typed into the main window: the modpack is chosen from
    the command line, the address typed into its field and Host pressed, all with keys."""
    proc = host.start("-krv_selectgck", "Arena.gck")
    h.press(MAIN_TITLE, *ALTERNATE_FIELD_KEYS, watch=[proc])
    h.xdotool("type", "--delay", "20", source)
    h.xdotool("key", *HOST_BUTTON_KEYS)
    return proc


def start_host(h, host, archive, text, shared, source, debug):
    """Hosts Arena; checks, while the host's game runs, the game and what Share publishes."""
    if source != "HOST":
        proc = host_by_hand(h, host, source)
    else:
        proc = host.start(*debug, "-krv_selectgck", "Arena.gck", "-krv_autohost")
    game = host.game_started([proc])
    check(game == {"args": ["-host"], "cwd": str(host.game)}, f"host's game started as {game}")
    check_installed(host)
    share = host.own / "Share"
    served = announcement(archive, text, source if shared else "")
    found = (share / "giantshost.htm").read_bytes()
    check(found == served, f"Share/giantshost.htm is {found!r}, expected {served!r}")
    copy = share / "Arena.gck"
    check((copy.exists() and copy.read_bytes() == archive) == shared,
          f"Share holds {sorted(p.name for p in share.iterdir())} (shared: {shared})")
    return proc


def join(h, joiner, archive, can_join, debug, hp, countdown):
    """The joiner answers "Join KRV..." (or lets the auto-join countdown run out) and then Join,
    as a person would, with keys."""
    jp = joiner.start(*debug, "-join", "127.0.0.1")
    if countdown:
        h.window(CHECK_TITLE, [jp, hp])
        auto_join = h.reg(joiner, "query", r"HKCU\Software\KRV", "/v", "AutoJoin")
        check("REG_DWORD    0x1" in auto_join, f"AutoJoin after the countdown: {auto_join}")
    else:
        h.answer(CHECK_TITLE, "Tab", "space", watch=[jp, hp], shot="host-check")
    if not can_join:
        info = h.press(INFO_TITLE, "Return", watch=[jp, hp], shot="modpack-info-refused")
        time.sleep(1)
        check(info in h.windows(INFO_TITLE), "Enter closed the information dialog, Join disabled")
        h.answer(INFO_TITLE, "Escape")
        check(h.wait_exit(jp) == 0, f"joiner ended with status {jp.returncode}")
        check(not joiner.record.exists(), "the joiner's game started without the modpack")
        return
    h.answer(INFO_TITLE, "Return", watch=[jp, hp], shot="modpack-info")
    game = joiner.game_started([jp, hp])
    expected = {"args": [""] * len(debug) + ["-join", "127.0.0.1"], "cwd": str(joiner.game)}
    check(game == expected, f"joiner's game started as {game}")
    check((joiner.own / "Modpacks" / "Arena.gck").read_bytes() == archive,
          "the joiner's Modpacks/Arena.gck is not the host's archive")
    check_installed(joiner)
    joiner.release.touch()
    check(h.wait_exit(jp) == 0, f"joiner ended with status {jp.returncode}")


def host_and_join(h, shared=True, joiner_has=None, trace=False, source="HOST", countdown=False):
    """The host starts as a lobby would and its game waits until the joiner's game has started;
    the joiner fetches from the live host when it must. Then both games end and both restore."""
    h.start_display()
    host, joiner = h.player("host"), h.player("joiner")
    archive, text = arena(host.own / "Modpacks" / "Arena.gck", shareable=shared)
    if joiner_has == "same":
        shutil.copy(host.own / "Modpacks" / "Arena.gck", joiner.own / "Modpacks")
    elif joiner_has == "other":
        arena(joiner.own / "Modpacks" / "Arena.gck", version=b"; an older edition\r\n")
    before = {p.name: snapshot(p.game) for p in (host, joiner)}
    joiner_packs = snapshot(joiner.own / "Modpacks")
    debug = ["-krvdebug"] if trace else []
    if countdown:
        joiner.set_registry(str(joiner.game), auto_join=1, seconds=1)

    hp = start_host(h, host, archive, text, shared, source, debug)
    join(h, joiner, archive, shared or joiner_has == "same", debug, hp, countdown)
    host.release.touch()
    check(h.wait_exit(hp) == 0, f"host ended with status {hp.returncode}")

    for p in (host, joiner):
        check_unchanged(p.game, before[p.name], f"{p.name}'s game after the games ended")
        check(not p.message_lines(), f"{p.name} showed messages: {p.message_lines()}")
    share = list((host.own / "Share").iterdir())
    check(not share, f"Share still holds {share}")
    downloaded = shared and joiner_has != "same"
    if not downloaded:
        check(snapshot(joiner.own / "Modpacks") == joiner_packs, "the joiner's Modpacks changed")
    log = host.stdout(hp)
    requests = re.findall(r", (GET /\S+), Anonymous, 127\.0\.0\.1, \d+$", log, re.M)
    from_host = downloaded and source == "HOST"
    wanted = ["GET /giantshost.htm"] + (["GET /Arena.gck"] if from_host else [])
    check(requests == wanted, f"host's request log lines {requests}, expected {wanted}:\n{log}")
    if trace:
        check_in_order(host.run_log(), HOST_TRACE, "host's KRVRun.log")
        check_in_order(joiner.run_log(), JOIN_TRACE, "joiner's KRVRun.log")
        check(any(line.startswith('GetFileSum ("') for line in joiner.run_log()),
              "joiner's KRVRun.log has no GetFileSum line")


def case_alternate(h):
    """The host announces an nginx of its own as the download location."""
    port, log = h.start_nginx(h.work / "host" / "Korvane" / "Modpacks")
    host_and_join(h, source=f"http://127.0.0.1:{port}")
    served = log.read_text()
    check('"GET /Arena.gck HTTP/1.1" 200' in served, f"nginx did not serve the archive:\n{served}")


def case_host_killed(h):
    """SIGKILL takes the host while its game runs; the next start puts the game back."""
    h.start_display()
    host = h.player("host")
    arena(host.own / "Modpacks" / "Arena.gck")
    before = snapshot(host.game)
    hp = host.start("-krv_selectgck", "Arena.gck", "-krv_autohost")
    host.game_started([hp])
    check_installed(host)
    hp.send_signal(signal.SIGKILL)
    hp.wait()
    host.release.touch()
    again = host.start()
    h.window(MAIN_TITLE, [again])
    check_unchanged(host.game, before, "game after the killed host's restart")
    h.answer(MAIN_TITLE, "Escape", watch=[again])
    h.wait_exit(again)
    check(not host.message_lines(), f"messages: {host.message_lines()}")


def case_name_with_space(h):
    """A shared modpack whose file name holds a space, as players name them ("Desert Storm.gck")."""
    h.start_display()
    host, joiner = h.player("host"), h.player("joiner")
    archive, _ = arena(host.own / "Modpacks" / "Desert Storm.gck")
    hp = host.start("-krv_selectgck", "Desert Storm.gck", "-krv_autohost")
    host.game_started([hp])
    jp = joiner.start("-join", "127.0.0.1")
    h.answer(CHECK_TITLE, "Tab", "space", watch=[jp, hp])
    h.answer(INFO_TITLE, "Return", watch=[jp, hp])
    joiner.game_started([jp, hp], timeout=30)
    check((joiner.own / "Modpacks" / "Desert Storm.gck").read_bytes() == archive,
          "the joiner's copy of Desert Storm.gck is not the host's")
    check_installed(joiner)
    for p, proc in ((joiner, jp), (host, hp)):
        p.release.touch()
        check(h.wait_exit(proc) == 0, f"{p.name} ended with status {proc.returncode}")
        check(not p.message_lines(), f"{p.name} showed messages: {p.message_lines()}")


def case_locales(h, host_locale, joiner_locale):
    """Players in different locales, as most of the game's players are: a decimal comma (de_DE),
    a dotted capital I (tr_TR), the C locale. The host shares "Überfall.gck"; Windows peers know it
    by its Windows-1252 name, so that is the name announced and served, while both players keep
    it under its UTF-8 name. The version travels as 0.4 whatever either locale writes."""
    check(h.args.locales, "no --locales folder given")
    h.start_display()
    host, joiner = h.player("host"), h.player("joiner")
    name = "\u00dcberfall.gck"
    archive, _ = arena(host.own / "Modpacks" / name)
    before = snapshot(joiner.game)

    def env(locale):
        return {"LOCPATH": h.args.locales, "LC_ALL": locale}

    hp = host.start("-krv_selectgck", name, "-krv_autohost", **env(host_locale))
    host.game_started([hp])
    served = (host.own / "Share" / "giantshost.htm").read_bytes()
    check(served.startswith(b"FileName=\xdcberfall.gck\r\n") and b"\r\nHostVer=0.4\r\n" in served,
          f"the announcement under {host_locale} is {served!r}")
    check((host.own / "Share" / b"\xdcberfall.gck".decode("utf-8", "surrogateescape")).exists(),
          f"Share holds {sorted(os.fsencode(p.name) for p in (host.own / 'Share').iterdir())}")
    jp = joiner.start("-join", "127.0.0.1", **env(joiner_locale))
    h.answer(CHECK_TITLE, "Tab", "space", watch=[jp, hp])
    h.answer(INFO_TITLE, "Return", watch=[jp, hp])
    joiner.game_started([jp, hp], timeout=30)
    check(sorted(p.name for p in (joiner.own / "Modpacks").iterdir()) == [name],
          f"the joiner's Modpacks: {list((joiner.own / 'Modpacks').iterdir())}")
    check((joiner.own / "Modpacks" / name).read_bytes() == archive,
          f"the joiner's copy of {name} is not the host's")
    check_installed(joiner)
    for p, proc in ((joiner, jp), (host, hp)):
        p.release.touch()
        check(h.wait_exit(proc) == 0, f"{p.name} ended with status {proc.returncode}")
        check(not p.message_lines(), f"{p.name} showed messages: {p.message_lines()}")
    check_unchanged(joiner.game, before, "joiner's game after the game ended")


class ThrottledDownload:
    """A client that fetches the host's archive and then reads it a kilobyte at a time, as a
    player on a poor line would, from an address of its own."""

    def __init__(self, port, path):
        self.sock = socket.socket()
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
        self.sock.bind(("127.0.0.2", 0))
        self.sock.connect(("127.0.0.1", port))
        self.sock.sendall(f"GET {path} HTTP/1.0\r\n\r\n".encode())
        self.received = 0
        self.ended = False
        self.stop = threading.Event()
        self.thread = threading.Thread(target=self.read, daemon=True)
        self.thread.start()

    def read(self):
        while not self.stop.is_set():
            data = self.sock.recv(1024)
            if not data:
                self.ended = True
                return
            self.received += len(data)
            time.sleep(0.2)

    def close(self):
        self.stop.set()
        self.thread.join()
        self.sock.close()


def case_three_players(h):
    """While a throttled client holds a download of the archive, two joiners (one started as a
    lobby would, with auto-join) check the host, download, install and play; then the host's game
    ends and the server stops at once, though the throttled client still reads."""
    h.start_display()
    host, first, second = h.player("host"), h.player("joiner1"), h.player("joiner2")
    # Far larger than what the socket buffers take, so the throttled download keeps its worker.
    members = dict(MEMBERS, **{"Big.gzp": random.Random(11).randbytes(24 << 20)})
    archive, text = arena(host.own / "Modpacks" / "Arena.gck", members=members)
    before = {p.name: snapshot(p.game) for p in (host, first, second)}
    second.set_registry(str(second.game), auto_join=1, seconds=1)

    hp = host.start("-krv_selectgck", "Arena.gck", "-krv_autohost")
    host.game_started([hp])
    slow = ThrottledDownload(8155, "/Arena.gck")
    wait_for(lambda: slow.received > 0, 20, "the throttled download to begin", [hp])
    for joiner, countdown in ((first, False), (second, True)):
        join(h, joiner, archive, True, [], hp, countdown)
    check(not slow.ended and slow.received < len(archive) // 2,
          f"the throttled download ended early ({slow.received} bytes)")

    stopped = time.monotonic()
    host.release.touch()
    check(h.wait_exit(hp) == 0, f"host ended with status {hp.returncode}")
    took = time.monotonic() - stopped
    slow.close()
    check(took < 20, f"the host took {took:.1f} s to end beside the throttled download")
    check(not list((host.own / "Share").iterdir()), "Share is not empty")
    for p in (host, first, second):
        check_unchanged(p.game, before[p.name], f"{p.name}'s game after the games ended")
        check(not p.message_lines(), f"{p.name} showed messages: {p.message_lines()}")
    log = host.stdout(hp)
    requests = re.findall(r", (GET /\S+), Anonymous, (127\.0\.0\.[12]), \d+$", log, re.M)
    wanted = [("GET /Arena.gck", "127.0.0.2")] + [("GET /giantshost.htm", "127.0.0.1"),
                                                  ("GET /Arena.gck", "127.0.0.1")] * 2
    check(requests == wanted, f"host's request log lines {requests}, expected {wanted}:\n{log}")


CASES = {
    "HostAndJoin": lambda h: host_and_join(h, trace=True),
    "JoinerHasModpack": lambda h: host_and_join(h, joiner_has="same", countdown=True),
    "JoinerHasOtherVersion": lambda h: host_and_join(h, joiner_has="other"),
    "HostWithoutSharing": lambda h: host_and_join(h, shared=False),
    "AlternateDownload": case_alternate,
    "HostKilled": case_host_killed,
    "NameWithSpace": case_name_with_space,
    "LocaleGermanHostPlainJoiner": lambda h: case_locales(h, "de_DE.UTF-8", "C"),
    "LocaleTurkishHostGermanJoiner": lambda h: case_locales(h, "tr_TR.UTF-8", "de_DE.UTF-8"),
    "ThreePlayers": case_three_players,
}


def main():
    parser = argparse.ArgumentParser()
    for name in ("--korvane", "--korvane-reg", "--standin", "--work"):
        parser.add_argument(name, required=True)
    parser.add_argument("--standin-exe")
    parser.add_argument("--screenshots")
    parser.add_argument("--locales")
    parser.add_argument("case")
    args = parser.parse_args()
    for name in ("korvane", "korvane_reg", "standin", "standin_exe", "work", "screenshots",
                 "locales"):
        if getattr(args, name):
            setattr(args, name, str(Path(getattr(args, name)).absolute()))
    if args.case == "Wine":
        from wine_case import case_wine as run
    elif args.case == "FirstStart":
        from first_start_case import case_first_start as run
    elif args.case == "Screenshots":
        from screenshots_case import case_screenshots as run
    else:
        run = CASES[args.case]
    h = Harness(args, Path(args.work) / args.case)
    # A stop from outside (a time-out of the test runner) still ends every process started here.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    try:
        run(h)
    except Failure as failure:
        print(f"FAILED {args.case}: {failure}", file=sys.stderr)
        h.print_outputs()
        return 1
    finally:
        h.close()
    print(f"PASSED {args.case}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
