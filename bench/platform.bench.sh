#!/usr/bin/env bash
# Platform layer: the safe copy (temporary file, sync, rename) against cp followed by sync of the
# copy, and the cost of finding a name in another letter case.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
tool=$KORVANE_BENCH_BUILD/bench/korvane_platform_bench

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

head -c $((64 * 1024 * 1024)) /dev/urandom >"$work/source.gzp"
export BENCH_SETUP="rm -f '$work/target.gzp'"
korvane=$(bench_time 5 "$tool" copy "$work/source.gzp" "$work/target.gzp")
reference=$(bench_time 5 sh -c "cp '$work/source.gzp' '$work/target.gzp' && sync '$work/target.gzp'")
bench_row "copy 64 MiB with sync, ms (ref: cp + sync)" "$korvane" "$reference" "<= 1.2"
unset BENCH_SETUP

# A game's bin folder holds a few hundred files; the second size is a stress case. Every lookup
# in another case lists the folder (nothing is cached, so a name never goes stale).
for files in 200 2000; do
  rm -rf "$work/game" && mkdir -p "$work/game/bin/Override"
  for ((i = 0; i < files; i++)); do : >"$(printf '%s/Texture%04d.tga' "$work/game/bin/Override" "$i")"; done
  per_path=$("$tool" resolve "$work/game" 5000)
  bench_row "resolve mixed-case name among $files files, us" "$per_path" "-" "<= $((files * 5))"
done
