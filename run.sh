#!/usr/bin/env bash
# Installs what is missing, builds Korvane and starts it.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh build run

build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVANE_TESTS=OFF >/dev/null
cmake --build "$build"

if [[ -x "$build/src/ui/korvane" ]]; then
  exec "$build/src/ui/korvane" "$@"
fi
echo "Korvane's front end is not built yet; the core libraries and tools are in $build." >&2
