#!/usr/bin/env bash
# Settings store: a start (GetRegistryItems), a korvane-reg query, an Options write and an import,
# with stores of 40,000 keys (a full export of a user's registry is that big) and 400,000 keys.
# There is no reference tool that reads a registry file; the targets are absolute.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
tool=$KORVANE_BENCH_BUILD/bench/korvane_settings_bench
reg=$KORVANE_BENCH_BUILD/src/app/korvane-reg

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for keys in 40000 400000; do
  shown=$(printf "%'d" "$keys" 2>/dev/null || echo "$keys")
  store=$work/registry-$keys.reg
  "$tool" make "$keys" "$store"
  target=$([[ $keys -eq 40000 ]] && echo "< 200" || echo "< 2000")
  bench_row "start with a $shown-key store, ms" "$(bench_time 5 "$tool" start "$store")" "-" "$target"
  bench_row "korvane-reg query with a $shown-key store, ms" \
    "$(KORVANE_REGISTRY=$store bench_time 5 "$reg" query 'HKCU\Software\KRV')" "-" "$target"
  bench_row "Options write into a $shown-key store, ms" "$(bench_time 5 "$tool" write "$store")" "-" "-"
  export BENCH_SETUP="rm -f '$work/imported.reg'"
  bench_row "korvane-reg import of $shown keys into an empty store, ms" \
    "$(KORVANE_REGISTRY=$work/imported.reg bench_time 3 "$reg" import "$store")" "-" "-"
  unset BENCH_SETUP
  echo "store of $shown keys: $(($(stat -c %s "$store") / 1024)) KiB"
done
