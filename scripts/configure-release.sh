#!/usr/bin/env bash
# Configures the release build shared by ./run.sh and scripts/package.sh, so that each reuses
# what the other has built. Plain Ninja, no compiler cache: the flags are Debian's hardening
# defaults, so the package passes lintian's checks for them. Installing (and so packing) builds
# only what it installs, not every target.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
flags="-O2 -g -DNDEBUG -fstack-protector-strong -fstack-clash-protection -D_FORTIFY_SOURCE=2"
flags+=" -Wformat -Werror=format-security -fcf-protection"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVANE_TESTS=OFF \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=$flags" \
  "-DCMAKE_EXE_LINKER_FLAGS=-Wl,-z,relro -Wl,-z,now" \
  "-DCMAKE_SHARED_LINKER_FLAGS=-Wl,-z,relro -Wl,-z,now" \
  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
