#!/usr/bin/env python3
"""A web server for the join tests: serves a folder on a free loopback port and misbehaves on
request. Prints its port and process id on the first line of its output once it listens.

  /redirect/NAME   302 to /NAME
  /cut/NAME        announces the whole size of NAME, sends half of it and closes
  /stall/NAME      announces the whole size of NAME, sends 10 bytes and then nothing
  /drip/NAME       announces the whole size of NAME, sends one byte of it every 0.05 s
  /slowhead/NAME   sends a header line every 0.2 s for 20 s, then NAME
  /silent/NAME     answers nothing for 120 s
  /endless/NAME    200 without a length, then an endless body
  /headers/        the request's header lines as the body
With "endless-announcement" as second argument, /giantshost.htm is an announcement of version
0.3 that never ends; with "trickling-announcement", one that sends a byte every 0.2 s forever.
  anything else    the file from the folder (404 page when missing)
With "windows" as second argument it plays an original Windows host instead: HTTP/1.0, file names
are bytes (Windows-1252) compared with the percent-decoded path byte for byte, a path that names no
file gets no answer at all, and every requested path is appended to requests.log in the folder.
"""
import http.server
import os
import sys
import time
import urllib.parse

ENDLESS_ANNOUNCEMENT = len(sys.argv) > 2 and sys.argv[2] == "endless-announcement"
TRICKLING_ANNOUNCEMENT = len(sys.argv) > 2 and sys.argv[2] == "trickling-announcement"
WINDOWS_HOST = len(sys.argv) > 2 and sys.argv[2] == "windows"


class WindowsHost(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, *args):
        pass

    def do_GET(self):
        wanted = urllib.parse.unquote_to_bytes(self.path.split("?", 1)[0])
        with open("requests.log", "ab") as log:
            log.write(wanted + b"\n")
        name = wanted[1:]
        if b"/" in name or name not in os.listdir(b"."):
            return
        with open(name, "rb") as f:
            data = f.read()
        self.send_response(200)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)


class Handler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def _head(self, length):
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        if length is not None:
            self.send_header("Content-Length", str(length))
        self.end_headers()

    def do_GET(self):
        parts = self.path.split("/", 2)
        kind, name = (parts[1], parts[2]) if len(parts) == 3 else ("", "")
        if kind == "redirect":
            self.send_response(302)
            self.send_header("Location", "/" + name)
            self.send_header("Content-Length", "0")
            self.end_headers()
        elif kind in ("cut", "stall"):
            with open(name, "rb") as f:
                data = f.read()
            self._head(len(data))
            self.wfile.write(data[: len(data) // 2] if kind == "cut" else data[:10])
            self.wfile.flush()
            if kind == "stall":
                time.sleep(120)
        elif kind == "drip":
            with open(name, "rb") as f:
                data = f.read()
            self._head(len(data))
            try:
                for i in range(len(data)):
                    self.wfile.write(data[i : i + 1])
                    self.wfile.flush()
                    time.sleep(0.05)
            except OSError:
                pass
        elif kind == "silent":
            time.sleep(120)
        elif kind == "slowhead":
            with open(name, "rb") as f:
                data = f.read()
            try:
                self.send_response(200)
                self.flush_headers()
                for i in range(100):
                    self.wfile.write(b"X-Line-%d: dripped\r\n" % i)
                    self.wfile.flush()
                    time.sleep(0.2)
                self.send_header("Content-Length", str(len(data)))
                self.end_headers()
                self.wfile.write(data)
            except OSError:
                pass
        elif kind == "headers":
            body = str(self.headers).encode()
            self._head(len(body))
            self.wfile.write(body)
        elif self.path == "/giantshost.htm" and TRICKLING_ANNOUNCEMENT:
            self._head(None)
            try:
                while True:
                    self.wfile.write(b"x")
                    self.wfile.flush()
                    time.sleep(0.2)
            except OSError:
                pass
        elif kind == "endless" or (self.path == "/giantshost.htm" and ENDLESS_ANNOUNCEMENT):
            self._head(None)
            if kind != "endless":
                self.wfile.write(b"FileName=Arena.gck\r\nHostVer=0.3\r\n")
            chunk = b"x" * 65536
            try:
                while True:
                    self.wfile.write(chunk)
            except OSError:
                pass
        else:
            super().do_GET()


def main():
    os.chdir(sys.argv[1])
    handler = WindowsHost if WINDOWS_HOST else Handler
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    server.daemon_threads = True
    print(server.server_address[1], os.getpid(), flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
