#!/usr/bin/env bash
# Builds the release build (the one ./run.sh starts) and makes the Debian package from it.
# Prints the path of the package on its last line: build/release/korvane_VERSION_ARCH.deb.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh build package

build=build/release
scripts/configure-release.sh "$build"
# Only what the package holds: the benchmarks and the demo game of ./run.sh are not needed here.
cmake --build "$build" --target korvane korvane-reg unzdll korvane_docs
(cd "$build" && cpack -G DEB >cpack.log) || { cat "$build/cpack.log" >&2; exit 1; }
ls -t "$build"/korvane_*.deb | head -n 1
