#!/usr/bin/env bash
# Installing a modpack of many small files must grow with the number of files, not with its
# square: InstallLevel of 10,000 and of 100,000 members of 100 bytes (a fifth replacing game
# files, half of them bound for bin/Override) against unzip -qjo of the same archive doing the
# same job: into a folder that holds the game files the modpack replaces, which unzip -o
# overwrites. A second row per size gives unzip into an empty folder, the floor of any extraction. The last row compares the time per member of the two
# sizes: 1.0 is linear. Everything happens in a folder made by mktemp, so TMPDIR chooses the file
# system measured (bench/RESULTS.md says why ext4 without a journal makes a poor one).
set -euo pipefail
source "$(dirname "$0")/lib.sh"
tool=$KORVANE_BENCH_BUILD/bench/korvane_modpack_bench

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
median() { printf '%s\n' "$@" | sort -n | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }'; }

per_member=()
for size in 10000:10,000 100000:100,000; do
  count=${size%%:*} label=${size#*:}
  game=$work/$count/Giants own=$work/$count/Korvane
  mkdir -p "$game/bin/Override" "$game/KRVBackup" "$game/KRVTemp" "$own/Modpacks"
  printf 'world list' >"$game/bin/worldlist.bin"
  cp "$game/bin/worldlist.bin" "$own/worldlist.bin"
  printf 'master abx' >"$own/Master.abx"
  printf 'default list' >"$own/KRVworldlist.bin"
  python3 - "$game" "$own/Modpacks/Many.gck" "$count" <<'PY'
import os, sys, zipfile
game, archive, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("Many.krv", "modinfo_usermessage=benchmark\r\n")
    for i in range(count):
        ext = ("gzp", "tga")[i % 2]
        name = f"File{i:06d}.{ext}"
        z.writestr(name, os.urandom(50) + name.encode() * 4)
        if i % 10 in (0, 5):  # the game has this one: the modpack replaces it
            folder = "bin" if ext == "gzp" else "bin/Override"
            with open(f"{game}/{folder}/{name}", "wb") as f:
                f.write(b"original " + name.encode())
PY
  archive=$own/Modpacks/Many.gck
  cat "$archive" >/dev/null
  runs=$((count > 10000 ? 1 : 3))
  korvane=() floor=() empty=()
  # In turn, so that a load that comes and goes on a shared machine hits all alike.
  for ((i = 0; i < runs; i++)); do
    korvane+=("$("$tool" installtime "$game" "$own" Many.gck)")
    # Emptied, not made anew, as the game's folders are by the restoration: a new folder may land
    # where the file system happens to allocate faster, which would measure the file system's
    # mood, not the tools.
    mkdir -p "$work/floor" && find "$work/floor" -type f -delete
    empty+=("$(bench_time 1 unzip -qjo "$archive" -d "$work/floor")")
    find "$work/floor" -type f -delete
    find "$game/bin" -name 'File*' -type f -exec cp -t "$work/floor" {} +
    sync
    floor+=("$(bench_time 1 unzip -qjo "$archive" -d "$work/floor")")
  done
  rm -rf "$work/floor"
  korvane=$(median "${korvane[@]}") floor=$(median "${floor[@]}") empty=$(median "${empty[@]}")
  bench_row "install $label members of 100 bytes, ms (ref: unzip -qjo, same files)" \
    "$korvane" "$floor" "<= 1.5"
  bench_row "install $label members of 100 bytes, ms (ref: unzip -qjo, empty dir)" \
    "$korvane" "$empty" "-"
  per_member+=("$(awk -v t="$korvane" -v n="$count" 'BEGIN { printf "%.4f", t / n }')")
  rm -rf "${work:?}/$count"
done
bench_row "install time per member, 100,000 members vs 10,000 (1.0: linear)" \
  "${per_member[1]}" "${per_member[0]}" "<= 1.5"
