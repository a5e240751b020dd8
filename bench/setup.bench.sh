#!/usr/bin/env bash
# Installation scan of the setup dialog over a fake home with 30 prefixes (registry files of a
# real prefix's size) and 3 Steam libraries. Cold: the home's files dropped from the page cache
# first (folder entries stay cached); warm: the median of later scans in the same process.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
tool=$KORVANE_BENCH_BUILD/bench/korvane_setup_bench

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$tool" make "$work/home"
"$tool" evict "$work/home"
read -r cold warm found complete < <("$tool" scan "$work/home" 21)
bench_row "scan 30 prefixes + 3 Steam libraries, cold, ms" "$cold" "-" "<= 1000"
bench_row "scan 30 prefixes + 3 Steam libraries, warm, ms" "$warm" "-" "<= 100"
echo "scan found $found installations ($complete)"
