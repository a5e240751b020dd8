"""A tour of every dialog on a virtual display, saved as PNG files for the README. Run by
scripts/screenshots.sh; not a test, though it fails loudly when a dialog does not come."""

import http.server
import os
import threading
import time
from pathlib import Path

from arena import MEMBERS, arena
from e2e import CHECK_TITLE, INFO_TITLE, host_by_hand
from harness import MAIN_TITLE, check, make_modpack

DOWNLOAD_TITLE = "Downloading Giants Customized Map"


def slow_server(root):
    """Serves files from root a few kilobytes at a time, so the download dialog stays up."""

    class Handler(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            data = Path(root, Path(self.path).name).read_bytes()  # names in root only
            self.send_response(200)
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            for start in range(0, len(data), 8192):
                self.wfile.write(data[start:start + 8192])
                time.sleep(0.1)

        def log_message(self, *args):
            pass

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def case_screenshots(h):
    check(h.shots, "--screenshots DIR is needed")
    h.start_display()
    host, joiner = h.player("host"), h.player("joiner")
    modpacks = host.own / "Modpacks"
    arena(modpacks / "Arena.gck")
    make_modpack(modpacks / "Castle.gck", "castle.krv",
                 b"modinfo_usermessage=Castle walls and towers for the siege maps\r\n",
                 {"Castle.tga": b"castle"})
    make_modpack(modpacks / "Desert.gck", "desert.krv",
                 b"modinfo_usermessage=Sand everywhere\\nNo sharing, please\r\n",
                 {"Desert.gzp": b"desert"})

    # The main dialog with a modpack chosen, then About and Options from its buttons.
    proc = host.start()
    h.press(MAIN_TITLE, "Down", watch=[proc])
    h.press(MAIN_TITLE, watch=[proc], shot="main-dialog")
    h.press(MAIN_TITLE, *["Tab"] * 8, "space", watch=[proc])  # list ... Join, Options, About
    h.answer("About KRV", "Return", watch=[proc], shot="about")
    h.press(MAIN_TITLE, "shift+Tab", "space", watch=[proc])
    h.answer("KRV Options", "Escape", watch=[proc], shot="options")
    h.answer(MAIN_TITLE, "Escape", watch=[proc])
    h.wait_exit(proc)

    # A message box, as a player sees it for a mistyped address.
    proc = joiner.start("-join", "300.1.2.3", KORVANE_MESSAGE_RECORD="")
    h.answer("KRV Error", "Return", watch=[proc], shot="message-box")
    h.wait_exit(proc)

    # A join with the auto-join countdown running and a download slow enough to be seen.
    arena(modpacks / "Arena.gck", members=dict(MEMBERS, **{"Arena.gzp": os.urandom(300000)}))
    server = slow_server(modpacks)
    try:
        hosting = host_by_hand(h, host, f"http://127.0.0.1:{server.server_address[1]}")
        host.game_started([hosting])
        joiner.set_registry(str(joiner.game), auto_join=1, seconds=30)
        proc = joiner.start("-join", "127.0.0.1")
        h.answer(CHECK_TITLE, "Tab", "space", watch=[proc], shot="host-check")
        h.answer(INFO_TITLE, "Return", watch=[proc], shot="modpack-info")
        h.screenshot(h.window(DOWNLOAD_TITLE, [proc]), "download-progress")
        joiner.game_started([proc])
        joiner.release.touch()
        host.release.touch()
        h.wait_exit(proc)
        h.wait_exit(hosting)
    finally:
        server.shutdown()
