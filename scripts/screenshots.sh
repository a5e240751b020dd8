#!/usr/bin/env bash
# Takes a picture of every dialog of Korvane on a virtual display (Xvfb, with a window manager for
# the frames) and stores them in docs/screenshots/, where the README shows them.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh build test e2e

# Any configured build directory will do (KORVANE_BUILD); by default one of its own.
build=${KORVANE_BUILD:-build/screenshots}
if [[ ! -f "$build/CMakeCache.txt" ]]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVANE_TESTS=ON >/dev/null
fi
cmake --build "$build" --target korvane korvane-reg giants_standin

rm -rf docs/screenshots
# The tour of the dialogs, then a first start for the setup dialog.
for case in Screenshots FirstStart; do
  python3 tests/e2e/e2e.py --korvane "$build/src/ui/korvane" --korvane-reg "$build/src/app/korvane-reg" \
    --standin "$build/tests/e2e/giants_standin" --work "$build/screenshots-work" \
    --screenshots docs/screenshots "$case"
done
ls docs/screenshots
