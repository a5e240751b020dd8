#!/usr/bin/env bash
# Installs what is missing, builds Korvane and starts it.
#
# On a machine without Korvane settings it first seeds a demo sandbox under the user's data
# directory (never inside this tree) and points the settings at it: a stand-in game folder whose
# giants.exe shows how it was started, and Korvane's own folder with three sample modpacks.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh build run

build=build/release
scripts/configure-release.sh "$build"
cmake --build "$build"

korvane="$build/src/ui/korvane"
reg="$build/src/app/korvane-reg"
demo_game="$build/src/ui/korvane-demo-game"

# A world list in the game's layout holding intro_island alone.
write_worldlist() {
  printf '\xd0\x03\x00\x1a\x1d\x00\x00\x00\x01\x00\x00\x00\x08\x00\x00\x00intro_island\x00\x00\x00\x00\x00\x1f\x00\x00\x00' >"$1"
}

# make_modpack ARCHIVE KRV-TEXT FILE... : each FILE is name=content.
make_modpack() {
  local archive=$1 krv=$2 work
  shift 2
  work=$(mktemp -d)
  printf '%b' "$krv" >"$work/info.krv"
  for entry in "$@"; do
    printf '%s\n' "${entry#*=}" >"$work/${entry%%=*}"
  done
  rm -f "$archive"
  (cd "$work" && zip -q -r "$archive" .)
  rm -rf "$work"
}

# The demo sandbox of the settings file in use: the usual settings get "demo", every other
# KORVANE_REGISTRY a sandbox of its own, so that a second player never shares the first one's game
# folder (whose installed modpack the first one's game is using).
demo_sandbox() {
  local data="${XDG_DATA_HOME:-$HOME/.local/share}/korvane"
  local usual="${XDG_CONFIG_HOME:-$HOME/.config}/korvane/registry.reg"
  local settings="${KORVANE_REGISTRY:-$usual}"
  settings=$(realpath -m -- "$settings")
  if [[ "$settings" == "$(realpath -m -- "$usual")" ]]; then
    echo "$data/demo"
  else
    local name
    name=$(basename -- "$settings" .reg | tr -c 'A-Za-z0-9_.\n-' '_')
    echo "$data/demo-$name-$(printf '%s' "$settings" | sha1sum | cut -c1-8)"
  fi
}

seed_demo() {
  local sandbox
  sandbox=$(demo_sandbox)
  local game="$sandbox/Giants" own="$sandbox/Korvane"
  mkdir -p "$game/bin" "$own/Modpacks"
  # Put in place by rename: a stand-in game that is running cannot be written over ("Text file
  # busy"), but its name can take a new file.
  cp "$demo_game" "$game/.giants.exe.new"
  mv -f "$game/.giants.exe.new" "$game/giants.exe"
  write_worldlist "$game/bin/worldlist.bin"
  write_worldlist "$own/worldlist.bin"
  write_worldlist "$own/KRVworldlist.bin"
  printf 'demo companion for every world file\n' >"$own/Master.abx"
  make_modpack "$own/Modpacks/Desert Storm.gck" \
    'modinfo_shareable=yes\nmodinfo_usermessage=Desert Storm: sand-coloured skies and dunes.\\nShared with every player who joins.\n' \
    'sand.tga=demo texture' 'desert.gzp=demo game data'
  make_modpack "$own/Modpacks/Island Worlds.gck" \
    'modinfo_usermessage=Two extra worlds: Reef and Lagoon.\nmodinfo_binname=w_Reef.bin\nmodinfo_bintype=3\nmodinfo_binname=w_Lagoon.bin\nmodinfo_bintype=4\n' \
    'w_Reef.bin=demo world' 'w_Lagoon.bin=demo world'
  make_modpack "$own/Modpacks/Plain Textures.gck" '' 'grass.tga=demo texture'
  "$reg" add 'HKCU\Software\PlanetMoon\Giants' /v DestDir /d "$game" /f >/dev/null
  "$reg" add 'HKCU\Software\KRV' /v DestDir /d "$own" /f >/dev/null
  "$reg" add 'HKCU\Software\KRV' /v CMDLine /d '' /f >/dev/null
  "$reg" add 'HKCU\Software\KRV' /v SecondsToJoin /t REG_DWORD /d 5 /f >/dev/null
  "$reg" add 'HKCU\Software\KRV' /v AutoJoin /t REG_DWORD /d 0 /f >/dev/null
  echo "No Korvane settings were found, so a demo sandbox was made in $sandbox:"
  echo "  game folder $game (its giants.exe is a stand-in that shows how it was started),"
  echo "  Korvane's folder $own with three sample modpacks."
  echo "Host one. To join it as a second player, start a second Korvane with settings of its own"
  echo "(it gets its own demo sandbox): KORVANE_REGISTRY=\"\$HOME/.config/korvane/player2.reg\" ./run.sh"
  echo "and press Join with the address 127.0.0.1 there. To use a real game instead:"
  echo "  $reg add \"HKCU\\Software\\PlanetMoon\\Giants\" /v DestDir /d /path/to/Giants /f"
}

if ! "$reg" query 'HKCU\Software\KRV' /v DestDir >/dev/null 2>&1 &&
   ! "$reg" query 'HKCU\Software\PlanetMoon\Giants' /v DestDir >/dev/null 2>&1; then
  seed_demo
fi

# The README's korvane-reg lines need the programs on the PATH; say how to get them there.
if ! command -v korvane-reg >/dev/null; then
  echo "korvane and korvane-reg are in $PWD/$build/src/ui and $PWD/$build/src/app."
  echo "To put them on the PATH: sudo cmake --install $build (into /usr/local), or build the"
  echo "package with scripts/package.sh and install it: sudo apt install ./$build/korvane_*.deb"
fi

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
  cat >&2 <<'MSG'
Korvane is a desktop program and needs a screen, but no display is set (DISPLAY is empty).
Start it from a desktop session, or give it a virtual screen to look at over VNC:
  QT_QPA_PLATFORM=vnc ./run.sh          (then connect a VNC viewer to localhost:5900)
or run it headless under a virtual X server:
  sudo apt-get install xvfb && xvfb-run -a ./run.sh
MSG
  exit 1
fi
exec "$korvane" "$@"
