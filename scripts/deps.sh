#!/usr/bin/env bash
# Installs the Debian packages Korvane needs that are missing. Cheap when nothing is missing.
# Usage: scripts/deps.sh build|test|run ...
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

packages=()
for group in "$@"; do
  while read -r name _; do
    [[ -z "$name" || "$name" == \#* ]] && continue
    packages+=("$name")
  done < "$here/packages-$group.txt"
done

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[[ $(id -u) -ne 0 ]] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
