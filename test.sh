#!/usr/bin/env bash
# Installs what is missing, builds the test build (AddressSanitizer and UBSan) and runs every test,
# then builds the Debian package from the release build and checks it.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh build test e2e package check

# Every C++ file in the one layout of .clang-format, so that a change shows only what it changes.
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror

build=build/test
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKORVANE_SANITIZE=ON -DKORVANE_TESTS=ON \
  -DKORVANE_WERROR=ON >/dev/null
cmake --build "$build"

# The bugprone and performance checks of .clang-tidy over our own sources, on both cores, with
# the compile database of the build just made.
if ! run-clang-tidy -p "$build" -j 2 -quiet "$PWD/src/" >"$build/clang-tidy.log" 2>&1; then
  grep -E -A4 '(warning|error):' "$build/clang-tidy.log" || cat "$build/clang-tidy.log"
  echo "clang-tidy: see $build/clang-tidy.log" >&2
  exit 1
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j2 --timeout 300

tests/package/check-package.sh

# The benchmark programs exist in the release build only (a sanitizer build's timings mean
# nothing); building them here keeps them in step with the code they measure.
cmake --build build/release --target korvane_platform_bench korvane_settings_bench \
  korvane_httpd_serve korvane_setup_bench korvane_modpack_bench korvane_session_bench

# The server serves connections on threads of their own: its tests and the session's (host and
# joiner over the real server) run once more under ThreadSanitizer, in a build of their own.
tsan=build/tsan
cmake -S . -B "$tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVANE_TSAN=ON \
  -DKORVANE_TESTS=ON -DKORVANE_GUI=OFF >/dev/null
cmake --build "$tsan" --target httpd_tests httpd_port_tests korvane_session_tests
TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1} \
  ctest --test-dir "$tsan" --output-on-failure -j2 --timeout 300 \
  -R '^(Httpd(Concurrency|Wire|Socket|Ports|Parser|Response)|HostAnnouncement|InternetClient|JoinTexts|Hosting|Join)\.'
