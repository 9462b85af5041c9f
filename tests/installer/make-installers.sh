#!/usr/bin/env bash
# Genuine GOG-style installers of the demo disc, written by Inno Setup's own compiler (the
# npm registry's ISCC.exe, a 32-bit Windows program) under Wine: versions 5.5.9 and 6.0.2,
# zip and LZMA2, solid and not, and sliced into .bin files (DiskSpanning). Each holds
# GAME.GOG for {app} and registers GOG's key for the game, as GOG's do. innoextract reads
# each back and checks every file's checksum: an independent reading of what was written.
# Run where 32-bit programs run (scripts/emulate-32bit.sh), with WINEPREFIX set to a prefix
# made for them. Made once: a kind already in OUT is kept.
# The sliced ones hold a larger disc (the demo disc and 6 MB more in DATA\PAD.DAT), so
# that GAME.GOG runs across slices of 4 MB (the first disk holds setup.exe too: 3 MB in 6.0).
# marrowgate-import (of NATIVE_BUILD) imports the disc's tree from each, named by its .exe
# or a slice, byte for byte.
#   make-installers.sh GAME.GOG OUT NATIVE_BUILD
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
image="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")" out="$2" native="$(cd "$3" && pwd)"
importer="$native/cli/marrowgate-import"
source "$root/scripts/wine-lib.sh"
mkdir -p "$out" && out="$(cd "$out" && pwd)"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The compilers, as npm publishes them, unpacked once.
compiler() {  # compiler PACKAGE@VERSION: the folder of its ISCC.exe
    local package="${1%@*}" version="${1#*@}" dir="$out/iscc-${1#*@}"
    if [ ! -f "$dir/bin/ISCC.exe" ]; then
        (cd "$out" && npm pack --silent "$1" >/dev/null) || return 1
        mkdir -p "$dir" && tar -xzf "$out/$package-$version.tgz" -C "$dir" --strip-components=1 || return 1
        rm -f "$out/$package-$version.tgz"
    fi
    echo "$dir/bin"
}

# One installer: NAME PACKAGE@VERSION COMPRESSION SOLID SLICED. Under emulation the compiler's
# LZMA stage stalls when it runs on threads or in a process of its own: these settings
# keep it in one thread.
installer() {
    local name="$1" version="${2#*@}" compression="$3" solid="$4" sliced="$5" bin dir="$out/$1"
    [ -f "$dir/done" ] && return 0
    bin="$(compiler "$2")" || { fail "$name: npm cannot fetch $2"; return; }
    rm -rf "$dir" && mkdir -p "$dir"
    cp "$([ "$sliced" = yes ] && echo "$out/large/GAME.GOG" || echo "$image")" "$dir/GAME.GOG"
    {
        printf '[Setup]\r\nAppName=Marrowgate\r\nAppVersion=1.0\r\nAppId=Marrowgate\r\n'
        printf 'DefaultDirName={pf}\\GOG Games\\Marrowgate\r\nOutputDir=.\r\nOutputBaseFilename=setup_marrowgate_1.0\r\n'
        printf 'Compression=%s\r\nSolidCompression=%s\r\nInternalCompressLevel=none\r\n' "$compression" "$solid"
        printf 'LZMAUseSeparateProcess=no\r\nLZMAMatchFinder=HC\r\nLZMANumBlockThreads=1\r\nUninstallable=no\r\n'
        [ "$sliced" = yes ] && printf 'DiskSpanning=yes\r\nDiskSliceSize=4000000\r\nSlicesPerDisk=1\r\n'
        printf '[Files]\r\nSource: "GAME.GOG"; DestDir: "{app}"\r\n'
        printf '[Registry]\r\nRoot: HKLM; Subkey: "SOFTWARE\\GOG.com\\Games\\1207663463"; ValueType: string; ValueName: "gameID"; ValueData: "1207663463"\r\n'
        printf 'Root: HKLM; Subkey: "SOFTWARE\\GOG.com\\Games\\1207663463"; ValueType: string; ValueName: "path"; ValueData: "{app}"\r\n'
    } >"$dir/setup.iss"
    local start=$SECONDS
    (cd "$dir" && wine "$bin/ISCC.exe" /Q "W:\\$name\\setup.iss") >"$dir/iscc.log" 2>&1 ||
        { fail "$name: ISCC $version failed: $(tail -3 "$dir/iscc.log")"; return; }
    echo "-- $name: Inno Setup $version, $compression, solid $solid, sliced $sliced: $((SECONDS - start)) s"
    rm -f "$dir/GAME.GOG"
    if [ "$sliced" = yes ]; then
        compgen -G "$dir/setup_marrowgate_1.0-*.bin" >/dev/null || fail "$name: no .bin slices"
        touch "$dir/sliced"
    fi
    # innoextract 1.9 reads setup data up to 6.0: later installers rest on the compiler alone.
    case $version in 5.* | 6.0.*) ;; *) touch "$dir/done"; return ;; esac
    innoextract -l "$dir/setup_marrowgate_1.0.exe" >"$dir/listing" 2>&1 || fail "$name: innoextract cannot list it: $(tail -2 "$dir/listing")"
    grep -q 'app/GAME.GOG' "$dir/listing" || fail "$name: innoextract lists no app/GAME.GOG: $(cat "$dir/listing")"
    innoextract -t -q "$dir/setup_marrowgate_1.0.exe" >"$dir/check" 2>&1 || fail "$name: innoextract -t: $(tail -2 "$dir/check")"
    innoextract --gog-game-id "$dir/setup_marrowgate_1.0.exe" 2>/dev/null | grep -q 1207663463 ||
        fail "$name: innoextract finds no GOG game ID"
    touch "$dir/done"
}

# marrowgate-import reads GAME.GOG out of each, named by its .exe and by its last slice,
# and writes what the image itself gives, byte for byte; --test finds it sound.
imported() {  # imported NAME
    local name="$1" dir="$out/$1" source expected named
    source="$([ -f "$dir/sliced" ] && echo "$out/large/GAME.GOG" || echo "$image")"
    expected="$out/expected-$(basename "$(dirname "$source")")"
    [ -d "$expected" ] || "$importer" -q -C "$expected" "$source" || fail "$name: the image itself does not import"
    for named in "$dir/setup_marrowgate_1.0.exe" $(ls "$dir"/*.bin 2>/dev/null | sort -V | tail -n 1); do
        rm -rf "$out/imported"
        "$importer" -q -C "$out/imported" "$named" 2>"$dir/imported.err" ||
            fail "$name: marrowgate-import $(basename "$named"): status $?: $(cat "$dir/imported.err")"
        diff -r "$expected" "$out/imported" >/dev/null || fail "$name: imported from $(basename "$named"), the tree differs"
    done
    "$importer" -q --test "$dir/setup_marrowgate_1.0.exe" >/dev/null 2>&1 || fail "$name: --test finds it unsound"
    rm -rf "$out/imported"
}

# The larger disc, for the sliced installers: raw sectors, as GOG ships it.
if [ ! -f "$out/large/GAME.GOG" ]; then
    rm -rf "$out/large" && mkdir -p "$out/large"
    cp -r "$root/demo/disc" "$out/large/tree"
    head -c 6000000 /dev/urandom >"$out/large/tree/DATA/PAD.DAT"
    genisoimage -quiet -V MARROWGATE -o "$out/large/disc.iso" "$out/large/tree" 2>/dev/null &&
        "$native/make-raw-image" "$out/large/disc.iso" "$out/large/GAME.GOG" || { echo "FAIL: the larger disc"; exit 1; }
    rm -f "$out/large/disc.iso"
fi
use_wine_for "$(compiler innosetup-compiler@6.0.2)/ISCC.exe" || exit 1
ln -sfn "$out" "$WINEPREFIX/dosdevices/w:"  # the prefix has no Z:: the scripts are read through W:
kinds=(
    "is5-zip innosetup-compiler@5.5.9 zip no no"
    "is5-lzma2-solid innosetup-compiler@5.5.9 lzma2/fast yes no"
    "is5-lzma2-sliced innosetup-compiler@5.5.9 lzma2/fast yes yes"
    "is6-zip innosetup-compiler@6.0.2 zip no no"
    "is6-lzma2-solid innosetup-compiler@6.0.2 lzma2/fast yes no"
    "is6-lzma2-sliced innosetup-compiler@6.0.2 lzma2/fast no yes"
    "is63-lzma2 innosetup-compiler@6.3.1 lzma2/fast no no"
    "is64-zip-solid innosetup@6.4.1 zip yes no"
)
for kind in "${kinds[@]}"; do
    installer $kind
    [ -f "$out/${kind%% *}/done" ] && imported "${kind%% *}"
done
[ "$failures" -eq 0 ] && echo "installers: all written, read back by innoextract, and imported from by marrowgate-import byte for byte"
exit "$failures"
