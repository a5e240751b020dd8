#!/usr/bin/env python3
"""Load for the HTTP server benchmarks (bench/http-load.bench.sh). Each peer connects from a
loopback address of its own (127.0.x.y), as players on different machines would.

  http_load.py latency PORT SLOW_CLIENTS RATE_MIB PATH [SERVER_PID]
      Starts SLOW_CLIENTS downloads of PATH, each read at RATE_MIB MiB/s, waits until all are
      running, then times 1,000 requests for /giantshost.htm, each on a new connection. Prints
      "median_ms p99_ms peak_rss_above_idle_mib" (the last "-" without SERVER_PID).
  http_load.py throughput PORT CLIENTS PATH
      Fetches PATH with CLIENTS connections at once at full speed; prints the aggregate MB/s.
  http_load.py idle PORT CONNECTIONS
      Holds CONNECTIONS idle connections from one address, then times 200 requests for
      /giantshost.htm from another; prints "median_ms p99_ms".
"""

import http.client
import multiprocessing
import resource
import socket
import statistics
import sys
import threading
import time


def get(port, path, source="127.0.0.1"):
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=30,
                                            source_address=(source, 0))
    connection.request("GET", path)
    response = connection.getresponse()
    body = response.read()
    connection.close()
    if response.status != 200:
        sys.exit("status %d for %s" % (response.status, path))
    return body


def timed_requests(port, count):
    times = []
    for _ in range(count):
        start = time.perf_counter()
        get(port, "/giantshost.htm")
        times.append((time.perf_counter() - start) * 1000)
    times.sort()
    return statistics.median(times), times[min(len(times) - 1, int(len(times) * 0.99))]


def slow_download(port, path, rate, source, started, stop):
    """Reads the file at about `rate` bytes a second until told to stop."""
    sock = socket.socket()
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 256 * 1024)
    sock.bind((source, 0))
    sock.connect(("127.0.0.1", port))
    sock.sendall(("GET %s HTTP/1.0\r\n\r\n" % path).encode())
    begin = time.monotonic()
    received = 0
    started.release()
    while not stop.is_set():
        data = sock.recv(65536)
        if not data:
            break
        received += len(data)
        ahead = received / rate - (time.monotonic() - begin)
        if ahead > 0:
            time.sleep(ahead)
    sock.close()


def slow_clients(port, path, count, rate, started, stop):
    threads = [threading.Thread(target=slow_download,
                                args=(port, path, rate, "127.0.1.%d" % (i + 1), started, stop))
               for i in range(count)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()


def rss_kib(pid):
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def latency(port, count, rate_mib, path, pid):
    idle = rss_kib(pid) if pid else 0
    started = multiprocessing.Semaphore(0)
    stop = multiprocessing.Event()
    # The slow readers run in a process of their own, so that they never delay the timed client.
    readers = multiprocessing.Process(target=slow_clients,
                                      args=(port, path, count, rate_mib * 1048576, started, stop))
    readers.start()
    for _ in range(count):
        started.acquire()
    time.sleep(2)  # every download under way, past its first buffers
    peak = [0]
    sampling = threading.Event()

    def sample():
        while not sampling.is_set():
            peak[0] = max(peak[0], rss_kib(pid))
            time.sleep(0.05)
    sampler = threading.Thread(target=sample)
    if pid:
        sampler.start()
    median, p99 = timed_requests(port, 1000)
    sampling.set()
    if pid:
        sampler.join()
    stop.set()
    readers.join()
    memory = "%.1f" % ((peak[0] - idle) / 1024) if pid else "-"
    print("%.3f %.3f %s" % (median, p99, memory))


def fetch(port, path, source, sizes, index):
    sock = socket.socket()
    sock.bind((source, 0))
    sock.connect(("127.0.0.1", port))
    sock.sendall(("GET %s HTTP/1.0\r\n\r\n" % path).encode())
    total = 0
    while True:
        data = sock.recv(1 << 20)
        if not data:
            break
        total += len(data)
    sock.close()
    sizes[index] = total


def throughput(port, count, path):
    sizes = multiprocessing.Array("q", count)
    workers = [multiprocessing.Process(target=fetch,
                                       args=(port, path, "127.0.2.%d" % (i + 1), sizes, i))
               for i in range(count)]
    start = time.perf_counter()
    for worker in workers:
        worker.start()
    for worker in workers:
        worker.join()
    elapsed = time.perf_counter() - start
    print("%.0f" % (sum(sizes) / elapsed / 1e6))


def idle(port, count):
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (min(hard, count + 1024), hard))
    held = []
    for _ in range(count):
        sock = socket.socket()
        sock.bind(("127.0.3.1", 0))
        sock.connect(("127.0.0.1", port))
        held.append(sock)
    time.sleep(0.5)
    times = []
    for _ in range(200):
        start = time.perf_counter()
        get(port, "/giantshost.htm")
        times.append((time.perf_counter() - start) * 1000)
    times.sort()
    print("%.3f %.3f" % (statistics.median(times), times[int(len(times) * 0.99)]))
    for sock in held:
        sock.close()


if __name__ == "__main__":
    mode, port = sys.argv[1], int(sys.argv[2])
    if mode == "latency":
        latency(port, int(sys.argv[3]), float(sys.argv[4]), sys.argv[5],
                int(sys.argv[6]) if len(sys.argv) > 6 else 0)
    elif mode == "throughput":
        throughput(port, int(sys.argv[3]), sys.argv[4])
    elif mode == "idle":
        idle(port, int(sys.argv[3]))
    else:
        sys.exit(__doc__)
