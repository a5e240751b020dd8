#!/usr/bin/env bash
# The HTTP server under several peers at once, against nginx from Debian serving the same files,
# each peer from a loopback address of its own (bench/http_load.py):
# (1) giantshost.htm latency, median and 99th percentile of 1,000 requests, while 16 clients each
#     fetch the 256 MiB archive at about 2 MiB/s, and the server's memory meanwhile;
# (2) aggregate throughput of 8 concurrent full-speed fetches of the archive;
# (3) giantshost.htm latency while one peer holds 1,000 idle connections (Korvane only: the
#     reference nginx is set up for 64 connections).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/bench/lib.sh"
load="python3 $root/bench/http_load.py"
bench_http_setup 256 "Benchmark arena, many players"

korvane_port=$(bench_free_port)
"$serve" "$work" "$korvane_port" Arena.gck >/dev/null 2>&1 &
korvane_pid=$!
pids+=("$korvane_pid")
bench_start_nginx "$work/nginx" "$work/Share"
nginx_port=$BENCH_NGINX_PORT
pids+=("$BENCH_NGINX_PID")
wait_for_port "$korvane_port"
wait_for_port "$nginx_port"

read -r k_median k_p99 k_memory < <($load latency "$korvane_port" 16 2 /Arena.gck "$korvane_pid")
read -r n_median n_p99 _ < <($load latency "$nginx_port" 16 2 /Arena.gck)
bench_row "GET giantshost.htm beside 16 downloads at 2 MiB/s, median ms (ref: nginx)" \
  "$k_median" "$n_median" "-"
bench_row "GET giantshost.htm beside 16 downloads at 2 MiB/s, p99 ms (ref: nginx)" \
  "$k_p99" "$n_p99" "<= 5 ms, <= 3x nginx"
bench_row "server memory serving 16 downloads, MiB above idle" "$k_memory" "-" "<= 32"

# The median of three runs of 8 fetches at once.
throughput() {
  for _ in 1 2 3; do $load throughput "$1" 8 /Arena.gck; done | sort -n | sed -n 2p
}
bench_row "8 concurrent fetches of the 256 MiB archive, MB/s in all (ref: nginx)" \
  "$(throughput "$korvane_port")" "$(throughput "$nginx_port")" ">= 0.8 of nginx"

read -r i_median i_p99 < <($load idle "$korvane_port" 1000)
bench_row "GET giantshost.htm while one peer holds 1,000 idle connections, p99 ms" \
  "$i_p99" "-" "<= 50 ms"
