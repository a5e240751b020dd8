#!/usr/bin/env bash
# Installs what is missing, builds the test build (AddressSanitizer and UBSan) and runs every test,
# then builds the Debian package from the release build and checks it.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh build test e2e package

build=build/test
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKORVANE_SANITIZE=ON -DKORVANE_TESTS=ON >/dev/null
cmake --build "$build"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j2 --timeout 300

tests/package/check-package.sh
