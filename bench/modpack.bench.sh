#!/usr/bin/env bash
# The modpack engine, side by side with the floor that plain tools set:
#  1. InstallLevel then RestoreGiants of a 2,000-file, 200 MB modpack (.bin, .gzp, .tga; a tenth
#     replace game files) against unzip -qjo into a folder plus one cp of it into place.
#  2. GetKRVInfoFromGCK over 1,000 archives, median per archive, against unzip -p of the .krv.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
tool=$KORVANE_BENCH_BUILD/bench/korvane_modpack_bench

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
game=$work/Giants own=$work/Korvane
mkdir -p "$game/bin/Override" "$game/KRVBackup" "$game/KRVTemp" "$own/Modpacks" "$work/many/Modpacks"
printf 'world list' >"$game/bin/worldlist.bin"
cp "$game/bin/worldlist.bin" "$own/worldlist.bin"
printf 'master abx' >"$own/Master.abx"
printf 'default list' >"$own/KRVworldlist.bin"

python3 - "$work" <<'PY'
import os, sys, zipfile
work = sys.argv[1]
size = 200 * 1000 * 1000 // 2000
with zipfile.ZipFile(f"{work}/Korvane/Modpacks/Large.gck", "w", zipfile.ZIP_DEFLATED, compresslevel=1) as z:
    z.writestr("Large.krv", "modinfo_usermessage=benchmark\r\n")
    for i in range(2000):
        ext = ("bin", "gzp", "gzp", "tga", "tga")[i % 5]
        name = f"File{i:04d}.{ext}"
        # Half the bytes repeat, as textures and tables do; the rest are noise, as packed data is.
        z.writestr(name, (b"giants" * (size // 12)) + os.urandom(size - 6 * (size // 12)))
        if i % 10 == 0:  # the game has this one: the modpack replaces it
            folder = "bin" if ext != "tga" else "bin/Override"
            with open(f"{work}/Giants/{folder}/{name}", "wb") as f:
                f.write(b"original " + name.encode())
for i in range(1000):
    with zipfile.ZipFile(f"{work}/many/Modpacks/Pack{i:04d}.gck", "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr(f"Pack{i:04d}.krv", f"modinfo_shareable=1\r\nmodinfo_usermessage=Pack {i}\\nfun\r\n"
                   "modinfo_binname=w_Arena.bin\r\nmodinfo_bintype=3\r\n")
        for ext in ("gzp", "bin", "tga"):
            z.writestr(f"Level{i:04d}.{ext}", os.urandom(20000))
PY
archive=$own/Modpacks/Large.gck
cat "$archive" >/dev/null

# The two run in turn, so that a load that comes and goes on a shared machine hits both alike.
korvane=() floor=()
for ((i = 0; i < 5; i++)); do
  korvane+=("$(bench_time 1 "$tool" install "$game" "$own" Large.gck)")
  rm -rf "$work/floor" "$work/placed" && mkdir -p "$work/floor" "$work/placed"
  floor+=("$(bench_time 1 sh -c "unzip -qjo '$archive' -d '$work/floor' && cp -a '$work/floor/.' '$work/placed/'")")
done
median() { printf '%s\n' "$@" | sort -n | awk '{ t[NR] = $1 } END { print t[(NR + 1) / 2] }'; }
korvane=$(median "${korvane[@]}") floor=$(median "${floor[@]}")
bench_row "install + restore 2,000 files / 200 MB, ms (ref: unzip -qjo + cp)" "$korvane" "$floor" "<= 1.0"

korvane=$("$tool" info "$work/many")
reference=$(cd "$work/many/Modpacks" && for f in *.gck; do
    start=$EPOCHREALTIME; unzip -p "$f" '*.krv' >/dev/null; end=$EPOCHREALTIME
    echo "$start $end"
  done | awk '{ printf "%.6f\n", ($2 - $1) * 1000 }' | sort -n | awk '{ t[NR] = $1 } END { printf "%.3f", t[int((NR + 1) / 2)] }')
bench_row "GetKRVInfoFromGCK per archive (median of 1,000), ms (ref: unzip -p '*.krv')" "$korvane" \
  "$reference" "<= 1 ms"
