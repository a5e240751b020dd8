#!/usr/bin/env bash
# Fuzzes the HTTP server's request parsers with libFuzzer under AddressSanitizer and UBSan, each
# target for a bounded time, starting from the saved corpus in tests/httpd/corpus.
# Usage: bench/fuzz.sh [SECONDS_PER_TARGET]   (default 60)
# New inputs go to build/fuzz/corpus, findings to build/fuzz/findings; the repository's corpus is
# left as it is (copy a finding there once it is fixed, so the normal test run replays it).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/bench/lib.sh"
seconds=${1:-60}
"$root/scripts/deps.sh" fuzz >&2

build=$root/build/fuzz
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKORVANE_FUZZ=ON -DKORVANE_GUI=OFF -DKORVANE_TESTS=ON >/dev/null

status=0
for pair in request:ParseRequest date:ParseHttpDate credentials:ParseBasicCredentials \
            percent:PercentDecode; do
  target=${pair%%:*} name=${pair#*:}
  cmake --build "$build" --target "httpd_fuzz_$target" -j2 >/dev/null
  corpus=$build/corpus/$target findings=$build/findings/$target
  mkdir -p "$corpus" "$findings"
  log=$build/fuzz-$target.log
  "$build/tests/httpd/fuzz/httpd_fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
    -timeout=10 -rss_limit_mb=1024 -artifact_prefix="$findings/" \
    "$corpus" "$root/tests/httpd/corpus/$target" >"$log" 2>&1 || status=1
  runs=$(awk '/stat::number_of_executed_units/ { print $2 }' "$log" | tail -1)
  found=$(find "$findings" -type f | wc -l)
  bench_row "fuzz $name: executions in ${seconds} s" "${runs:-failed}" "-" "-"
  bench_row "fuzz $name: findings (crash, leak, timeout)" "$found" "-" "0"
  [[ $found -eq 0 ]] || status=1
done
exit $status
