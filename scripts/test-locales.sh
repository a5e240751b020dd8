#!/usr/bin/env bash
# Builds the locales the tests run Korvane under into a private folder, so a fresh machine needs
# no system-wide locale set-up: programs find them with LOCPATH=DIR.
# Usage: scripts/test-locales.sh DIR
# de_DE writes numbers with a decimal comma; in tr_TR the capital of "i" is a dotted "İ".
set -euo pipefail
dir=$1
mkdir -p "$dir"
for locale in de_DE tr_TR; do
  [[ -f "$dir/$locale.UTF-8/LC_CTYPE" ]] && continue
  # localedef exits 1 for mere warnings about the Debian sources; the check below is the test.
  localedef -i "$locale" -f UTF-8 "$dir/$locale.UTF-8" || true
  [[ -f "$dir/$locale.UTF-8/LC_CTYPE" ]] || { echo "could not build $locale.UTF-8" >&2; exit 1; }
done
