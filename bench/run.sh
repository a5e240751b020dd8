#!/usr/bin/env bash
# Builds the release build in build/bench, runs every bench/*.bench.sh and prints one table:
# figure | Korvane | reference | ratio | target. Extra CMake options: KORVANE_BENCH_CMAKE_ARGS.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/bench

# shellcheck disable=SC2086
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORVANE_TESTS=OFF \
  ${KORVANE_BENCH_CMAKE_ARGS:-} >/dev/null
cmake --build "$build" -j2 >/dev/null
export KORVANE_BENCH_BUILD=$build

rows=$(mktemp)
trap 'rm -f "$rows"' EXIT
status=0
for script in "$root"/bench/*.bench.sh; do
  [[ -e "$script" ]] || continue
  echo "running $(basename "$script")" >&2
  # Only row lines go into the table; anything else a script prints is passed on as a note.
  if ! bash "$script" | while IFS= read -r line; do
      if [[ "$line" == *"|"* ]]; then echo "$line" >>"$rows"; else echo "  $line" >&2; fi
    done; then
    echo "  $(basename "$script") failed" >&2
    status=1
  fi
done

{ echo "figure|Korvane|reference|ratio|target"; cat "$rows"; } | awk -F'|' '
  { for (i = 1; i <= NF; i++) { cell[NR, i] = $i; if (length($i) > w[i]) w[i] = length($i) } n = NR }
  END {
    for (r = 1; r <= n; r++) {
      line = ""
      for (i = 1; i <= 5; i++) line = line sprintf(i == 1 ? "%-*s" : " | %-*s", w[i], cell[r, i])
      print line
      if (r == 1) { sep = ""; for (i = 1; i <= 5; i++) sep = sep (i > 1 ? "-|-" : "") sprintf("%*s", w[i], "") ; gsub(/ /, "-", sep); print sep }
    }
  }'
exit $status
