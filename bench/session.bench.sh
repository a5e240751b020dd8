#!/usr/bin/env bash
# Hosting and joining: a 256 MiB modpack published with ServeLevel and fetched by a joiner with
# DownloadLevel (announcement, decision, download into a temporary file, size and checksum checks,
# sync and rename), against curl -o of the same file from nginx on loopback; and the joiner's
# peak memory during the transfer.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
tool=$KORVANE_BENCH_BUILD/bench/korvane_session_bench
size_mib=${SESSION_BENCH_MIB:-256}

work=$(mktemp -d)
host_pid="" nginx_pid=""
cleanup() {
  [[ -n "$nginx_pid" ]] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null
  [[ -n "$host_pid" ]] && { exec 7>&-; wait "$host_pid" 2>/dev/null; }
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/host/Modpacks" "$work/join/Modpacks" "$work/www"
head -c $((size_mib * 1024 * 1024)) /dev/urandom >"$work/host/Modpacks/Big.gck"
cp "$work/host/Modpacks/Big.gck" "$work/www/Big.gck"

# The host: ServeLevel copies the archive into Share, sums it and starts the server; it serves
# until its standard input (a fifo held open on descriptor 7) is closed.
mkfifo "$work/host.in"
"$tool" host "$work/host" Big.gck <"$work/host.in" >"$work/host.out" &
host_pid=$!
exec 7>"$work/host.in"
word="" port="" serve_ms=""
for _ in $(seq 600); do
  read -r word port serve_ms < <(grep '^PORT ' "$work/host.out" || true) || true
  [[ "$word" == PORT ]] && break
  kill -0 "$host_pid" 2>/dev/null || break
  sleep 0.1
done
[[ "$word" == PORT ]] || { echo "the host did not start"; exit 1; }

# The reference: nginx-light from Debian as an ordinary process on a free loopback port.
bench_start_nginx "$work/nginx" "$work/www"
nginx_port=$BENCH_NGINX_PORT nginx_pid=$BENCH_NGINX_PID
for _ in $(seq 50); do
  curl -sf -o /dev/null "http://127.0.0.1:$nginx_port/Big.gck" -r 0-0 && break
  sleep 0.1
done

export BENCH_SETUP="rm -f '$work/join/Modpacks/Big.gck'"
korvane=$(bench_time 5 "$tool" join "$work/join" "$port")
export BENCH_SETUP="rm -f '$work/curl.gck'"
reference=$(bench_time 5 curl -s -o "$work/curl.gck" "http://127.0.0.1:$nginx_port/Big.gck")
unset BENCH_SETUP
# The joiner's list is empty, so the archive left by the last run is downloaded again and
# replaced: this download is synced before it takes the old archive's place.
replacing=$(bench_time 5 "$tool" join "$work/join" "$port")
cmp -s "$work/host/Modpacks/Big.gck" "$work/join/Modpacks/Big.gck" || echo "downloaded archive differs"

# Throughput in MiB/s, so that a higher ratio is better.
rate() { awk -v ms="$1" -v mib="$size_mib" 'BEGIN { if (ms ~ /^[0-9.]+$/ && ms > 0) printf "%.0f", mib * 1000 / ms; else print "failed" }'; }
bench_row "join ${size_mib} MiB modpack, MiB/s (ref: curl -o from nginx)" "$(rate "$korvane")" "$(rate "$reference")" ">= 0.7"
bench_row "join replacing an existing archive (synced), MiB/s" "$(rate "$replacing")" "$(rate "$reference")" "-"
echo "ServeLevel of the ${size_mib} MiB modpack (share copy, checksum, server start): $serve_ms ms"

rm -f "$work/join/Modpacks/Big.gck"
read -r _ peak_kib < <("$tool" join "$work/join" "$port")
bench_row "joiner peak memory above idle during the transfer, MiB" \
  "$(awk -v k="$peak_kib" 'BEGIN { printf "%.1f", k / 1024 }')" "-" "< 64"
