#!/usr/bin/env bash
# The HTTP server against nginx from Debian serving the same files on another loopback port:
# (1) median latency of 1,000 sequential requests for giantshost.htm, each on a new connection,
#     as a joining player's host check makes it;
# (2) throughput of one 512 MB archive fetched with curl.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/bench/lib.sh"
bench_http_setup 512 "Benchmark arena, two players"

korvane_port=$(bench_free_port)
"$serve" "$work" "$korvane_port" Arena.gck >/dev/null 2>&1 &
pids+=($!)

bench_start_nginx "$work/nginx" "$work/Share"
nginx_port=$BENCH_NGINX_PORT
pids+=("$BENCH_NGINX_PID")
wait_for_port "$korvane_port"
wait_for_port "$nginx_port"

latency() {
  python3 - "$1" <<'PY'
import http.client, statistics, sys, time
port = int(sys.argv[1])
times = []
for _ in range(1000):
    start = time.perf_counter()
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
    connection.request("GET", "/giantshost.htm")
    response = connection.getresponse()
    response.read()
    connection.close()
    if response.status != 200:
        sys.exit("status %d" % response.status)
    times.append(time.perf_counter() - start)
print("%.3f" % (statistics.median(times) * 1000))
PY
}
bench_row "GET giantshost.htm, median of 1000 sequential requests, ms (ref: nginx)" \
  "$(latency "$korvane_port")" "$(latency "$nginx_port")" "<= 2 ms"

# Throughput in MB/s, the median of three fetches.
throughput() {
  for _ in 1 2 3; do
    curl -s --max-time 120 -o /dev/null -w '%{speed_download}\n' "http://127.0.0.1:$1/Arena.gck"
  done | sort -n | sed -n 2p | awk '{ printf "%.0f\n", $1 / 1e6 }'
}
bench_row "fetch 512 MB archive with curl, MB/s (ref: nginx)" \
  "$(throughput "$korvane_port")" "$(throughput "$nginx_port")" ">= 0.7 of nginx"
