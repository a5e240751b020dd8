#!/usr/bin/env bash
# Builds the Debian package from the release build and checks it as a player's machine would see
# it: unpacked with dpkg-deb -x into a temporary root, korvane-reg and korvane run from there (a
# host-install-restore under the offscreen platform proves the program finds its own unzip
# library in the package's layout), the file list and the declared dependencies, then lintian,
# appstreamcli and desktop-file-validate.
set -euo pipefail
cd "$(dirname "$0")/../.."

passed=0
failed=0
check() { # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAILED: $what" >&2
    fi
}

deb=$(scripts/package.sh | tail -n 1)
version=$(dpkg-deb -f "$deb" Version)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root="$work/root"
dpkg-deb -x "$deb" "$root"
private=lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/korvane
echo "Checking $deb"

# The files, and nothing else.
files_are_complete() {
    local expected actual
    expected=$(printf '%s\n' /usr/bin/korvane /usr/bin/korvane-reg "/usr/$private/libunzdll.so" \
        /usr/share/applications/korvane.desktop \
        /usr/share/doc/korvane/changelog.gz /usr/share/doc/korvane/copyright \
        /usr/share/icons/hicolor/scalable/apps/korvane.svg \
        /usr/share/man/man1/korvane-reg.1.gz /usr/share/man/man1/korvane.1.gz \
        /usr/share/metainfo/io.github.korvane.korvane.metainfo.xml | sort)
    actual=$(cd "$root" && find . ! -type d | sed 's/^\.//' | sort)
    [[ "$actual" == "$expected" ]] || { diff <(echo "$expected") <(echo "$actual") >&2; return 1; }
}
check "file list" files_are_complete

# Every library the binaries load is provided by a package the package depends on; Qt's platform
# plugin (loaded at run time) too; wine is only recommended.
dependencies_match_linked_libraries() {
    local depends names library package ok=0
    depends=$(dpkg-deb -f "$deb" Depends)
    echo "Depends: $depends"
    names=$(tr ',|' '\n\n' <<<"$depends" | awk '{print $1}')
    for library in $(objdump -p "$root/usr/bin/korvane" "$root/usr/bin/korvane-reg" \
        "$root/usr/$private/libunzdll.so" | awk '/NEEDED/ {print $2}' | sort -u); do
        package=$(dpkg -S "*/$library" 2>/dev/null | head -n 1 | cut -d: -f1)
        if [[ -z "$package" ]] || ! grep -qxF "$package" <<<"$names"; then
            echo "$library (from ${package:-no package}) is not covered by Depends" >&2
            ok=1
        fi
    done
    grep -qxF qt6-qpa-plugins <<<"$names" || ok=1
    ! grep -qE 'wine|-dev$' <<<"$names" || ok=1
    [[ "$(dpkg-deb -f "$deb" Recommends)" == "wine" ]] || ok=1
    return $ok
}
check "declared dependencies" dependencies_match_linked_libraries

# The README's korvane-reg lines, with the unpacked programs.
export KORVANE_REGISTRY="$work/registry.reg"
reg="$root/usr/bin/korvane-reg"
game="$work/Giants" own="$work/Korvane"
reg_lines_work() {
    "$reg" add "HKCU\Software\PlanetMoon\Giants" /v DestDir /t REG_SZ /d "$game" /f >/dev/null &&
        "$reg" add "HKCU\Software\KRV" /v DestDir /t REG_SZ /d "$own" /f >/dev/null &&
        "$reg" add "HKCU\Software\KRV" /v SecondsToJoin /t REG_DWORD /d 10 /f >/dev/null &&
        [[ "$("$reg" query "HKCU\Software\KRV")" == *"SecondsToJoin    REG_DWORD    0xa"* ]]
}
check "korvane-reg add and query" reg_lines_work
check "korvane-reg --version" [ "$("$reg" --version)" == "korvane-reg $version" ]
check "korvane --version" [ "$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
    "$root/usr/bin/korvane" --version)" == "korvane $version" ]

# A stand-in game that lists the game folder while it runs, a modpack with one texture.
mkdir -p "$game/bin" "$own/Modpacks" "$work/modpack"
printf '#!/bin/sh\nfind . -type f | sort >"%s"\n' "$work/during.txt" >"$game/giants.exe"
chmod +x "$game/giants.exe"
printf 'the game list' >"$game/bin/worldlist.bin"
cp "$game/bin/worldlist.bin" "$own/worldlist.bin"
cp "$game/bin/worldlist.bin" "$own/KRVworldlist.bin"
printf 'companion' >"$own/Master.abx"
printf 'modinfo_shareable=yes\nmodinfo_usermessage=From the package test\n' >"$work/modpack/info.krv"
printf 'texture' >"$work/modpack/packtest.tga"
(cd "$work/modpack" && zip -q "$own/Modpacks/Test.gck" info.krv packtest.tga)

# Hosting listens on port 8155: in a network namespace of its own where one can be made, so that
# other runs on the machine are not disturbed.
host_once() { # host_once ARGUMENT...
    local isolate=()
    if unshare -rn sh -c 'ip link set lo up' 2>/dev/null; then
        isolate=(unshare -rn sh -c 'ip link set lo up && exec "$@"' sh)
    fi
    rm -f "$work/messages.txt" "$work/during.txt"
    KORVANE_MESSAGE_RECORD="$work/messages.txt" QT_QPA_PLATFORM=offscreen timeout 60 \
        "${isolate[@]}" "$root/usr/bin/korvane" "$@"
}
# Restoration puts back every file; the work folders it made may stay behind, empty.
game_files() { (cd "$game" && find . -type f -exec md5sum {} + | sort -k 2); }
before=$(game_files)
host_install_restore() {
    host_once -krv_selectgck Test.gck -krv_autohost || return 1
    [[ ! -s "$work/messages.txt" ]] || { cat "$work/messages.txt" >&2; return 1; }
    grep -q 'packtest.tga' "$work/during.txt" || { echo "modpack not installed" >&2; return 1; }
    [[ "$(game_files)" == "$before" ]] || { diff <(echo "$before") <(game_files) >&2; return 1; }
}
check "host, install and restore with the unpacked korvane" host_install_restore
# Without the package's own library no modpack can be read, so none is listed and hosting plays
# the bare game: no other copy of the library is picked up.
library_is_the_packages_own() {
    mv "$root/usr/$private/libunzdll.so" "$work/"
    host_once -krv_autohost
    local status=$?
    mv "$work/libunzdll.so" "$root/usr/$private/"
    [[ $status -eq 0 && -s "$work/messages.txt" && -e "$work/during.txt" ]] &&
        ! grep -q 'packtest.tga' "$work/during.txt"
}
check "no unzip library but the package's own" library_is_the_packages_own

lintian_passes() {
    lintian --fail-on error "$deb" >"$work/lintian.txt" 2>&1
    local status=$?
    sed 's/^/lintian: /' "$work/lintian.txt"
    return $status
}
check "lintian" lintian_passes
check "appstreamcli validate" appstreamcli validate --no-net \
    "$root/usr/share/metainfo/io.github.korvane.korvane.metainfo.xml"
check "desktop-file-validate" desktop-file-validate "$root/usr/share/applications/korvane.desktop"

echo "package: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
