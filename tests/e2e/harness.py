"""What the end-to-end cases stand on: a virtual display, players with their own registry, own
directory and game directory, real korvane processes, keys pressed in real windows, and the
records the stand-in game leaves. Python's standard library only."""

import hashlib
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import time
import zipfile
from pathlib import Path

SKIP = 77  # CTest's SKIP_RETURN_CODE for the e2e tests
MAIN_TITLE = "Korvane 1.0 beta 4b (2nd February 2002)"


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_for(predicate, timeout, what, watch=()):
    """Polls until predicate() is truthy. A watched process that ends first is a failure too,
    since whatever it was meant to do will never come."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        for proc in watch:
            if proc.poll() is not None:
                raise Failure(f"{proc.name} ended with status {proc.returncode} "
                              f"while waiting for {what}")
        if time.monotonic() > deadline:
            raise Failure(f"timed out after {timeout} s waiting for {what}")
        time.sleep(0.1)


def file_sum(data):
    """The byte sum that Korvane announces as FileSum."""
    return sum(data) & 0xFFFFFFFF


def snapshot(root):
    """Every file under root with the hash of its bytes, and every directory."""
    files, dirs = {}, set()
    for path in sorted(Path(root).rglob("*")):
        rel = path.relative_to(root).as_posix()
        if path.is_dir() and not path.is_symlink():
            dirs.add(rel)
        else:
            files[rel] = hashlib.sha256(path.read_bytes()).hexdigest()
    return files, dirs


def check_unchanged(root, before, what):
    """Byte-identical files; the only new directories allowed are Korvane's empty work folders."""
    files, dirs = snapshot(root)
    changed = sorted(k for k in set(files) | set(before[0]) if files.get(k) != before[0].get(k))
    check(not changed, f"{what}: files differ from before: {changed}")
    new_dirs = dirs - before[1]
    work = {d for d in new_dirs
            if Path(d).name in ("KRVBackup", "KRVTemp") and not any(Path(root, d).iterdir())}
    check(new_dirs == work, f"{what}: unexpected new directories: {sorted(new_dirs - work)}")


def make_modpack(path, krv_name, krv_text, members):
    """A .gck archive: the information file and the given {name: bytes} members."""
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as archive:
        archive.writestr(krv_name, krv_text)
        for name, data in members.items():
            archive.writestr(name, data)
    return Path(path).read_bytes()


def connectable(port):
    with socket.socket() as s:
        return s.connect_ex(("127.0.0.1", port)) == 0


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Harness:
    """One case's world. Everything it starts is ended by close(), whatever happened."""

    def __init__(self, args, workdir):
        self.args = args
        self.work = Path(workdir)
        shutil.rmtree(self.work, ignore_errors=True)
        self.work.mkdir(parents=True)
        self.procs = []
        self.display = None
        self.shots = Path(args.screenshots) if args.screenshots else None

    # --- processes -------------------------------------------------------------------------
    def spawn(self, name, argv, log_dir, **kw):
        name = f"{name}-{len(self.procs)}"
        out = open(Path(log_dir, f"{name}.stdout"), "wb")
        err = open(Path(log_dir, f"{name}.stderr"), "wb")
        proc = subprocess.Popen(argv, stdout=out, stderr=err, stdin=subprocess.DEVNULL,
                                start_new_session=True, **kw)
        proc.name, proc.stdout_path, proc.stderr_path = name, out.name, err.name
        out.close()
        err.close()
        self.procs.append(proc)
        return proc

    def close(self):
        for player in getattr(self, "players", []):
            player.release.touch(exist_ok=True)
        for proc in reversed(self.procs):
            if proc.poll() is None:
                try:
                    os.killpg(proc.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
                proc.wait()

    def print_outputs(self):
        for proc in self.procs:
            for path in (proc.stdout_path, proc.stderr_path):
                text = Path(path).read_text(errors="replace")[-3000:]
                if text.strip():
                    print(f"--- {Path(path).name}\n{text}", file=sys.stderr)

    def start_nginx(self, root):
        """nginx on a loopback port of its own serving root; returns the port and its access log."""
        if not shutil.which("nginx"):
            raise SystemExit(SKIP)
        port, prefix = free_port(), self.work / "nginx"
        (prefix / "logs").mkdir(parents=True)
        temp = " ".join(f"{kind}_temp_path {prefix};"
                        for kind in ("client_body", "proxy", "fastcgi", "uwsgi", "scgi"))
        # As root (a namespace of unshare -r included) nginx would hand its temporary folders to
        # "nobody", who may not exist there; it keeps them itself instead.
        user = "user root;\n" if os.geteuid() == 0 else ""
        (prefix / "nginx.conf").write_text(
            f"{user}daemon off; master_process off; pid {prefix}/nginx.pid;\n"
            f"error_log {prefix}/logs/error.log;\nevents {{}}\n"
            f"http {{ access_log {prefix}/logs/access.log; {temp}\n"
            f"  server {{ listen 127.0.0.1:{port}; root {root}; }} }}\n")
        proc = self.spawn("nginx", ["nginx", "-p", str(prefix), "-c", str(prefix / "nginx.conf")],
                          prefix)
        wait_for(lambda: connectable(port), 20, "nginx to listen", [proc])
        return port, prefix / "logs" / "access.log"

    def wait_exit(self, proc, timeout=60):
        try:
            return proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure(f"{proc.name} did not end within {timeout} s")

    # --- display and windows -----------------------------------------------------------------
    def start_display(self):
        if not (shutil.which("Xvfb") and shutil.which("xdotool")):
            raise SystemExit(SKIP)
        read, write = os.pipe()
        self.spawn("xvfb", ["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24",
                            "-nolisten", "tcp"], self.work, pass_fds=(write,))
        os.close(write)
        number = b""
        with os.fdopen(read, "rb") as pipe:
            while not number.endswith(b"\n"):
                chunk = pipe.read(1)
                check(chunk, "Xvfb did not report its display")
                number += chunk
        self.display = ":" + number.decode().strip()
        if self.shots and shutil.which("openbox"):
            # Frames and captions for the pictures; the tests themselves need no window manager.
            env = dict(os.environ, DISPLAY=self.display)
            self.spawn("openbox", ["openbox"], self.work, env=env)
            time.sleep(1)

    def xdotool(self, *args):
        env = dict(os.environ, DISPLAY=self.display)
        return subprocess.run(["xdotool", *args], env=env, capture_output=True, text=True,
                              timeout=20)

    def windows(self, title):
        pattern = "".join("\\" + c if c in "\\^$.|?*+()[]{}" else c for c in title)
        result = self.xdotool("search", "--onlyvisible", "--name", f"^{pattern}$")
        return result.stdout.split()

    def window(self, title, watch=(), timeout=30):
        return wait_for(lambda: self.windows(title), timeout, f'the window "{title}"', watch)[0]

    def press(self, title, *keys, watch=(), shot=None):
        """Gives the window the keyboard focus and types keys into it, as a person would."""
        wid = self.window(title, watch)
        time.sleep(0.3)  # let the dialog finish showing before the first key arrives
        if shot:
            self.screenshot(wid, shot)
        self.xdotool("windowfocus", "--sync", wid)
        for key in keys:
            self.xdotool("key", "--clearmodifiers", key)
            time.sleep(0.15)
        return wid

    def answer(self, title, *keys, watch=(), shot=None):
        """Presses keys that close the dialog, again if a slow start lost them (at most thrice)."""
        for _ in range(3):
            wid = self.press(title, *keys, watch=watch, shot=shot)
            try:
                return wait_for(lambda: wid not in self.windows(title), 5, f'"{title}" to close',
                                watch)
            except Failure:
                shot = None
        raise Failure(f'the keys {keys} did not close "{title}"')

    def screenshot(self, wid, name):
        if self.shots and shutil.which("import"):
            self.shots.mkdir(parents=True, exist_ok=True)
            env = dict(os.environ, DISPLAY=self.display)
            subprocess.run(["import", "-frame", "-window", wid, str(self.shots / f"{name}.png")],
                           env=env, timeout=30, check=False)

    # --- players ------------------------------------------------------------------------------
    def player(self, name, game_dir=None, standin=None):
        player = Player(self, name, game_dir, standin or self.args.standin)
        self.players = getattr(self, "players", []) + [player]
        return player

    def reg(self, player, *args):
        env = dict(os.environ, KORVANE_REGISTRY=str(player.registry))
        result = subprocess.run([self.args.korvane_reg, *args], env=env, capture_output=True,
                                text=True, timeout=20)
        check(result.returncode == 0, f"korvane-reg {' '.join(args)} failed: {result.stderr}")
        return result.stdout


class Player:
    """One player's machine: registry file, Korvane's own directory, a game with a stand-in."""

    GAME_FILES = {
        "bin/worldlist.bin": b"game's own world list\x00\x01",
        "bin/GTextEnglish.bin": b"game text",
        "bin/Level1.gzp": b"level one",
        "bin/Override/sky.tga": b"the game's sky",
        "readme.txt": b"Giants: Citizen Kabuto",
    }

    def __init__(self, harness, name, game_dir, standin):
        self.h = harness
        self.name = name
        self.dir = harness.work / name
        self.own = self.dir / "Korvane"
        self.game = Path(game_dir) if game_dir else self.dir / "Giants Citizen Kabuto"
        self.registry = self.dir / "registry.reg"
        self.record = self.dir / "game-record.json"
        self.release = self.dir / "game-release"
        self.messages = self.dir / "messages.txt"
        for sub in ("Modpacks",):
            (self.own / sub).mkdir(parents=True, exist_ok=True)
        for rel, data in self.GAME_FILES.items():
            path = self.game / rel
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(data)
        shutil.copy(standin, self.game / "giants.exe")
        (self.own / "Master.abx").write_bytes(b"master abx")
        (self.own / "KRVworldlist.bin").write_bytes(b"korvane's default world list")
        (self.own / "worldlist.bin").write_bytes(self.GAME_FILES["bin/worldlist.bin"])
        self.set_registry(game_dest=str(self.game))

    def set_registry(self, game_dest, cmdline="", auto_join=0, seconds=5):
        reg = self.h.reg
        reg(self, "add", r"HKCU\Software\PlanetMoon\Giants", "/v", "DestDir", "/t", "REG_SZ",
            "/d", game_dest, "/f")
        reg(self, "add", r"HKCU\Software\KRV", "/v", "DestDir", "/t", "REG_SZ", "/d",
            str(self.own), "/f")
        reg(self, "add", r"HKCU\Software\KRV", "/v", "CMDLine", "/t", "REG_SZ", "/d", cmdline, "/f")
        reg(self, "add", r"HKCU\Software\KRV", "/v", "AutoJoin", "/t", "REG_DWORD", "/d",
            str(auto_join), "/f")
        reg(self, "add", r"HKCU\Software\KRV", "/v", "SecondsToJoin", "/t", "REG_DWORD", "/d",
            str(seconds), "/f")

    def env(self, **extra):
        env = dict(os.environ)
        runtime = self.dir / "runtime"
        runtime.mkdir(mode=0o700, exist_ok=True)
        env.update(XDG_RUNTIME_DIR=str(runtime), DISPLAY=self.h.display, QT_QPA_PLATFORM="xcb",
                   KORVANE_REGISTRY=str(self.registry), KORVANE_MESSAGE_RECORD=str(self.messages),
                   XDG_CONFIG_HOME=str(self.dir / "config"), XDG_DATA_HOME=str(self.dir / "data"),
                   GIANTS_STANDIN_RECORD=str(self.record), GIANTS_STANDIN_WAIT=str(self.release),
                   GIANTS_STANDIN_TIMEOUT="120")
        suppressions = Path(__file__).with_name("lsan.supp")
        options = env.get("LSAN_OPTIONS", "")
        env["LSAN_OPTIONS"] = f"{options}:suppressions={suppressions}".lstrip(":")
        env.update(extra)
        return env

    def start(self, *args, **extra_env):
        for path in (self.record, self.release):
            path.unlink(missing_ok=True)
        return self.h.spawn(f"korvane-{self.name}", [self.h.args.korvane, *args], self.dir,
                            cwd=self.dir, env=self.env(**extra_env))

    def game_started(self, watch=(), timeout=60):
        wait_for(self.record.exists, timeout, f"the {self.name}'s game to start", watch)
        return json.loads(self.record.read_bytes().decode("utf-8", "surrogateescape"))

    def message_lines(self):
        if not self.messages.exists():
            return []
        return self.messages.read_text(errors="replace").splitlines()

    def run_log(self):
        path = self.own / "KRVRun.log"
        return path.read_bytes().decode("latin-1").split("\r\n") if path.exists() else []

    def stdout(self, proc):
        return Path(proc.stdout_path).read_text(errors="replace")
