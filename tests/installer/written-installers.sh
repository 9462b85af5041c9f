#!/bin/bash
# Installers written in code, one table of setup data version x compression x solid x
# slices. Each one Debian's innoextract reads (up to 6.0.x, what its version knows) lists,
# tests (every file's checksum), names the GOG game of, and extracts GAME.GOG from byte
# for byte; then marrowgate-import imports the authored tree from it byte for byte, named
# by its .exe and by its last slice, and --test finds it sound.
#   written-installers.sh IMPORTER MAKE_INSTALLER MAKE_RAW_IMAGE TESTDATA
set -u
importer=$1 make_installer=$2 make_raw=$3 testdata=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

"$make_raw" "$testdata/genisoimage.iso" "$work/GAME.GOG" || { echo "FAIL: make-raw-image"; exit 1; }
"$importer" -q -C "$work/expected" "$work/GAME.GOG" || { echo "FAIL: the bare image's import"; exit 1; }
have_innoextract=false
command -v innoextract >/dev/null && have_innoextract=true

# version compression solid slice-size (solid "parts": GAME.GOG in GOG's deflated parts)
cases=(
    "5.5.0 lzma no 0"
    "5.5.6 zlib yes 0"
    "5.5.7 bzip2 no 0"
    "5.6.2 lzma2 yes 2000000"
    "6.0.0 lzma2 no 2000000"
    "6.0.0 stored yes 0"
    "6.1.0 lzma2 yes 0"
    "6.3.0 zlib no 2000000"
    "6.4.0.1 lzma2 no 0"
    "6.0.0 lzma2 parts 0"
    "5.6.2 zlib parts 2000000"
)
for row in "${cases[@]}"; do
    read -r version compression solid slice <<<"$row"
    name="$version $compression solid=$solid slices=$slice"
    dir="$work/$version-$compression-$solid-$slice"
    mkdir -p "$dir"
    "$make_installer" "$version" "$compression" "$solid" "$slice" "$work/GAME.GOG" "$dir" || { fail "$name: written"; continue; }
    exe="$dir/setup_marrowgate_1.0.exe"
    last=$(ls "$dir"/*.bin 2>/dev/null | sort -V | tail -n 1)
    [ "$slice" = 0 ] || [ -n "$last" ] || fail "$name: no slices written"

    if $have_innoextract && case $version in 5.* | 6.0.*) true ;; *) false ;; esac; then
        if ! innoextract -q -s -l "$exe" >"$dir/listing" 2>&1; then
            # A prerelease's data ID that this innoextract does not know is no failure of ours.
            if grep -q "Not a supported Inno Setup installer\|unknown version" "$dir/listing"; then
                echo "note: $name: innoextract $(innoextract --version | head -n 1 | cut -d' ' -f2) does not know this version"
            else
                fail "$name: innoextract -l: $(cat "$dir/listing")"
            fi
        else
            grep -q 'app/GAME.GOG' "$dir/listing" || fail "$name: innoextract lists no app/GAME.GOG"
            innoextract -q -s -t "$exe" >/dev/null 2>&1 || fail "$name: innoextract -t"
            [ "$(innoextract -s --gog-game-id "$exe" 2>/dev/null)" = 1207663463 ] || fail "$name: innoextract --gog-game-id"
            (cd "$dir" && innoextract -q -s -e "$exe" >/dev/null 2>&1) || fail "$name: innoextract -e"
            cmp -s "$dir/app/GAME.GOG" "$work/GAME.GOG" || fail "$name: innoextract's GAME.GOG differs"
        fi
    fi

    "$importer" -q -C "$dir/imported" "$exe" || fail "$name: import (status $?)"
    diff -r "$work/expected" "$dir/imported" >/dev/null || fail "$name: imported tree differs"
    if [ -n "$last" ]; then
        "$importer" -q -C "$dir/from-slice" "$last" || fail "$name: import by its last slice (status $?)"
        diff -r "$work/expected" "$dir/from-slice" >/dev/null || fail "$name: tree imported by its slice differs"
    fi
    "$importer" -q --test "$exe" >/dev/null 2>&1 || fail "$name: --test"
    rm -rf "$dir/app" "$dir/imported" "$dir/from-slice"
done

# Another game's installer, named: refused by its name and GOG ID, nothing written.
other="$work/other"
mkdir -p "$other"
"$make_installer" 6.0.0 zlib no 0 "$work/GAME.GOG" "$other" "Other Game:1234567890" || fail "another game's installer written"
"$importer" -C "$other/out" "$other/setup_marrowgate_1.0.exe" 2>"$other/err"
status=$?
[ "$status" = 19 ] || fail "another game's installer: status $status"
grep -q "an installer of Other Game (GOG ID 1234567890), not of Marrowgate (1207663463)" "$other/err" ||
    fail "another game's installer: said $(cat "$other/err")"
[ -z "$(ls -A "$other/out" 2>/dev/null)" ] || fail "another game's installer: something written"

# Damaged data after the last file's: every file arrives, and the import still fails,
# saying so; --test finds it too.
damaged="$work/damaged"
mkdir -p "$damaged"
"$make_installer" 6.0.0 stored no 0 "$work/GAME.GOG" "$damaged" || fail "an installer to damage written"
exe="$damaged/setup_marrowgate_1.0.exe"
python3 - "$exe" "$work/GAME.GOG" <<'PY'  # a byte of GAME.GOG's last sector, stored as it is
import sys
exe, game = open(sys.argv[1], 'rb').read(), open(sys.argv[2], 'rb').read()
at = exe.find(game[-2352:]) + 2000
open(sys.argv[1], 'r+b').write(exe[:at] + bytes([exe[at] ^ 0xff]) + exe[at + 1:])
PY
"$importer" -C "$damaged/out" "$exe" 2>"$damaged/err"
status=$?
[ "$status" = 17 ] || fail "damaged installer: status $status"
grep -q "GAME.GOG's digest does not match the installer's record of it: its data is damaged" "$damaged/err" ||
    fail "damaged installer: said $(cat "$damaged/err")"
diff -r "$work/expected" "$damaged/out" >/dev/null || fail "damaged installer: the complete files are not all there"
"$importer" --test "$exe" >/dev/null 2>&1
status=$?
[ "$status" = 17 ] || fail "damaged installer, --test: status $status"

[ "$failures" -eq 0 ] && echo "written installers: ${#cases[@]} read by innoextract where it can and imported byte for byte"
[ "$failures" -eq 0 ]
