#!/usr/bin/env bash
# GetFileSum over a 1 GiB file in the page cache, against cat reading the same file to /dev/null.
# Figures are throughput (MiB/s, median of 9 runs); the target is at least 0.8 of cat's. The two
# run in turn, so that a load that comes and goes on a shared machine hits both alike.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
tool=$KORVANE_BENCH_BUILD/bench/korvane_modpack_bench

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
file=$work/large.gck
head -c $((1024 * 1024 * 1024)) /dev/urandom >"$file"
cat "$file" >/dev/null # into the page cache

korvane=() reference=()
for ((i = 0; i < 9; i++)); do
  korvane+=("$(bench_time 1 "$tool" filesum "$file")")
  reference+=("$(bench_time 1 sh -c "cat '$file' >/dev/null")")
done
median_mibs() { printf '%s\n' "$@" | sort -n | awk '{ t[NR] = $1 } END { printf "%.0f", 1024 / (t[(NR + 1) / 2] / 1000) }'; }
bench_row "GetFileSum 1 GiB cached, MiB/s (ref: cat > /dev/null)" "$(median_mibs "${korvane[@]}")" \
  "$(median_mibs "${reference[@]}")" ">= 0.8"
