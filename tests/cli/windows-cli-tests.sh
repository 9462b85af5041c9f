#!/usr/bin/env bash
# marrowgate-import.exe under Wine, in a prefix of its own where the sources are real: GOG's
# registry key (in the 32-bit view, as its installer writes it) and Steam's, each leading to
# a raw image of the demo disc, and the demo disc in the CD-ROM drive D:. It runs on the
# program of the build's width, with the Wine loader of that width.
#   windows-cli-tests.sh WINDOWS_BUILD_DIR [EXE]
# EXE names another marrowgate-import.exe to test (the release check tests the zip's).
# Where 32-bit programs run only under emulation (MG_EMULATED=1), where every Wine process
# takes seconds to start, the checks a shipped program must pass run alone: --version,
# --detect, an import byte for byte, a cue sheet and a refusal; MG_WINE_PREFIX then names
# the prefix, shared with the other programs checked that way.
set -uo pipefail
build="$(cd "$1" && pwd)"
root="$(cd "$(dirname "$0")/../.." && pwd)"
exe="${2:-$build/cli/marrowgate-import.exe}"
source "$root/tests/cli/checks.sh"
source "$root/scripts/wine-lib.sh"
use_wine_for "$exe" || exit 1
echo "-- on a $MG_WIN_BITS-bit program: $exe"
export WINEPREFIX="${MG_WINE_PREFIX:-$build/wine-cli}" LANG=C.UTF-8
full_suite() { [ "${MG_EMULATED:-0}" != 1 ]; }
tree="$root/demo/disc"

# --- the prefix: drives W: (the scratch folder), X: (the program's folder), D: and E:
# CD-ROM drives, D: holding the disc when disc_in says so
create_wine_prefix d: e:
ln -sfn "$work" "$WINEPREFIX/dosdevices/w:"
ln -sfn "$(dirname "$exe")" "$WINEPREFIX/dosdevices/x:"
ln -sfn "$work/no-disc" "$WINEPREFIX/dosdevices/e:"
disc_in() { ln -sfn "$work/disc" "$WINEPREFIX/dosdevices/d:"; }
disc_out() { ln -sfn "$work/no-disc" "$WINEPREFIX/dosdevices/d:"; }
disc_out
start_wineserver
trap 'umount "$work/small" 2>/dev/null; wineserver -k 2>/dev/null; rm -rf "$work"' EXIT
clear_gog_entry
clear_steam_entry

importer() { (cd "$work" && wine "X:\\$(basename "$exe")" "$@"); }
# same_tree WHAT DIR: DIR holds the disc's DATA and FMV, byte for byte, with the disc's times
same_tree() {
    diff -r "$tree/DATA" "$2/DATA" >/dev/null && diff -r "$tree/FMV" "$2/FMV" >/dev/null ||
        { fail "$1: the imported files differ from the disc's"; return; }
    local file
    for file in DATA/CRED1.PCX FMV/INTRO.AVI; do
        [ "$(stat -c %Y "$tree/$file")" = "$(stat -c %Y "$2/$file")" ] || fail "$1: $file does not keep the disc's time"
    done
}

# --- the sources: the demo disc as a folder, and as a raw image for each store; GOG's
# folder has a name no code page holds
unicode="Marrowgate Łódź ☃ 日本"
gog="$work/GOG Games/$unicode" steam="$work/Steam/steamapps/common/Marrowgate (I)"
mkdir -p "$gog" "$steam"
cp -r --preserve=timestamps "$tree" "$work/disc"
genisoimage -quiet -V MARROWGATE -o "$work/demo.iso" "$tree" 2>/dev/null
# The image writer of MG_E2E_TOOLS' build where it is given (the 64-bit twin's, at full speed under emulation).
raw_writer="${MG_E2E_TOOLS:-$build}/make-raw-image.exe"
(cd "$work" && MG_WIN_BITS="$(pe_bits "$raw_writer")" wine "$raw_writer" 'W:\demo.iso' 'W:\GAME.GOG') || fail "make-raw-image"
cp "$work/GAME.GOG" "$steam/GAME.GOG"
mv "$work/GAME.GOG" "$gog/GAME.GOG"

# --- help and version; --help and /? alike
expect 0 "--version" -- importer --version
contains "$work/out" "marrowgate-import " "--version"
if full_suite; then
expect 0 "--help" -- importer --help
cp "$work/out" "$work/help"
contains "$work/help" "Usage: marrowgate-import" "--help"
contains "$work/help" 'HKCU\Software\Valve\Steam' "--help names the places looked in"
expect 0 "/?" -- importer '/?'
cmp -s "$work/help" "$work/out" || fail "/? does not print --help's text"
expect 2 "an unknown option" -- importer --frobnicate
contains "$work/err" "Try 'marrowgate-import --help'." "an unknown option"

# --- detection: nothing, then all three sources, in the order and words of Linux
expect 13 "no source" -- importer
contains "$work/err" "no source of the game found. Looked for:" "no source"
contains "$work/err" "a game disc (DATA\\CRED1.PCX) in the drives A: to Z:" "no source"
fi
set_gog_entry "W:\\GOG Games\\$unicode"
set_steam_entry "W:/Steam"
disc_in
expect 0 "--detect, to a file" -- importer --detect
printf 'GOG: W:\\GOG Games\\%s\\GAME.GOG\nSteam: W:\\Steam\\steamapps\\common\\Marrowgate (I)\\GAME.GOG\nDisc: D:\\\n' \
    "$unicode" >"$work/expected"
cmp -s "$work/expected" "$work/out" || fail "--detect, to a file: got $(od -c "$work/out" | head -5)"
empty "$work/err" "--detect, to a file"

if full_suite; then
# On a console the names go out as UTF-16 and show intact: Wine's console, on a terminal
# whose locale is UTF-8, shows them in UTF-8.
printf 'source "%s"; export MG_WIN_BITS=%s; cd "%s" && wine "X:\\%s" "$@"\n' \
    "$root/scripts/wine-lib.sh" "$MG_WIN_BITS" "$work" "$(basename "$exe")" >"$work/on-console.sh"
script -qec "bash '$work/on-console.sh' --detect" /dev/null >"$work/console" 2>&1 </dev/null
contains "$work/console" "GOG: W:\\GOG Games\\$unicode\\GAME.GOG" "--detect, on a console"
fi

# --- imports from each source, byte for byte; -C makes its folders
expect 0 "GOG" -- importer -q -C 'W:\imported\gog\new\folders'
same_tree "GOG" "$work/imported/gog/new/folders"
if full_suite; then
expect 0 "Steam" -- importer -q --from steam -C 'W:\imported\steam'
same_tree "Steam" "$work/imported/steam"
expect 0 "the disc" -- importer --from disc -C 'W:\imported\disc'
contains "$work/err" "Importing from the disc." "the disc"
same_tree "the disc" "$work/imported/disc"
expect 0 "--disc D:" -- importer --disc D: -C 'W:\imported\drive'
same_tree "--disc D:" "$work/imported/drive"
disc_out
expect 13 "--from disc, no disc in the drive" -- importer --from disc -C 'W:\imported\none'
contains "$work/err" "the disc was not found" "--from disc, no disc in the drive"
expect 0 "an image named, by a Unicode path" -- importer -C "W:\\imported\\$unicode" "W:\\GOG Games\\$unicode\\GAME.GOG"
same_tree "an image named, by a Unicode path" "$work/imported/$unicode"
fi
# A rip: a cue sheet beside the image, named by its Unicode path. A CHD is refused, with
# what to do instead (this build has no CHD reader).
printf 'FILE "GAME.GOG" BINARY\r\n  TRACK 01 MODE1/2352\r\n    INDEX 01 00:00:00\r\n' >"$gog/game.cue"
expect 0 "a cue sheet" -- importer -q -C 'W:\imported\cue' "W:\\GOG Games\\$unicode\\game.cue"
same_tree "a cue sheet" "$work/imported/cue"
{ printf 'MComprHD'; head -c 200 /dev/zero; } >"$work/game.chd"
expect 19 "a CHD" -- importer -C 'W:\imported\chd' 'W:\game.chd'
contains "$work/err" "a CHD image, which this build does not read" "a CHD"

# GOG's installer of the demo disc (LZMA2, in slices, written by the native tests' writer):
# GAME.GOG read out of it as it is decompressed, named by a slice, byte for byte.
make_installer="$root/build/native/tests/make-installer"
if [ -x "$make_installer" ]; then
    mkdir -p "$work/Downloads"
    "$make_installer" 6.0.0 lzma2 no 100000 "$gog/GAME.GOG" "$work/Downloads" || fail "make-installer"
    expect 0 "an installer, named by a slice" -- importer -C 'W:\imported\installer' 'W:\Downloads\setup_marrowgate_1.0-2.bin'
    same_tree "an installer, named by a slice" "$work/imported/installer"
else
    echo "SKIP: an installer: no native build's make-installer at $make_installer"
fi
full_suite || finish "marrowgate-import.exe (the checks of a shipped program)"
expect 0 "--list, to a file" -- importer --list "W:\\GOG Games\\$unicode\\GAME.GOG"
contains "$work/out" "DATA\\CRED1.PCX" "--list, to a file"

# --- paths past 260 characters, both for the image and for the output
long='W:\long'
for _ in 1 2 3 4 5 6 7 8 9 10; do long+='\a-folder-name-of-30-characters'; done
long_host="$work/long$(printf '/a-folder-name-of-30-characters%.0s' 1 2 3 4 5 6 7 8 9 10)"
mkdir -p "$long_host"
cp "$gog/GAME.GOG" "$long_host/GAME.GOG"
expect 0 "a long path" -- importer -q -C "$long\\out" "$long\\GAME.GOG"
same_tree "a long path (${#long} characters)" "$long_host/out"

# --- the write path: nothing through a link where a folder goes
mkdir -p "$work/linked" "$work/elsewhere"
ln -s "$work/elsewhere" "$work/linked/DATA"
expect 11 "a link where DATA goes" -- importer -C 'W:\linked' "W:\\GOG Games\\$unicode\\GAME.GOG"
contains "$work/err" 'W:\linked\DATA: cannot write' "a link where DATA goes"
[ -z "$(ls -A "$work/elsewhere")" ] || fail "a link where DATA goes: something was written through it"

# --- a small disk (drive S:): refused when the files cannot fit; ended at once when it
# fills up (300 small files pass the check, but each takes a page of the disk)
mkdir -p "$work/small" "$work/many/DATA"
for i in $(seq 300); do head -c 100 /dev/urandom >"$work/many/DATA/F$i.DAT"; done
genisoimage -quiet -o "$work/many.iso" "$work/many" 2>/dev/null
head -c 400000 /dev/urandom >"$work/many/DATA/BIG.DAT"
genisoimage -quiet -o "$work/big.iso" "$work/many" 2>/dev/null
if mount -t tmpfs -o size=256k tmpfs "$work/small" 2>/dev/null; then
    ln -sfn "$work/small" "$WINEPREFIX/dosdevices/s:"
    expect 14 "not enough free space" -- importer -C 'S:\' 'W:\big.iso'
    contains "$work/err" "not enough free space: " "not enough free space"
    [ -z "$(ls -A "$work/small")" ] || fail "not enough free space: something was written"
    expect 11 "a full disk" -- importer -C 'S:\' 'W:\many.iso'
    contains "$work/err" "No space left on device" "a full disk"
    [ "$(grep -c 'cannot write' "$work/err")" = 1 ] || fail "a full disk: the import went on: $(cat "$work/err")"
    ! compgen -G "$work/small/DATA/.*.mg-partial" >/dev/null || fail "a full disk: a partial file stayed"
    umount "$work/small"
else
    echo "SKIP: a small disk: no tmpfs mount here"
fi

# --- Ctrl-C, as a terminal sends it to Wine (SIGINT): the file being written is dropped,
# and the status is 130. An image with one large file keeps the import busy.
mkdir -p "$work/large/DATA"
head -c 300000000 /dev/zero >"$work/large/DATA/LARGE.DAT"
genisoimage -quiet -o "$work/large.iso" "$work/large" 2>/dev/null
rm -rf "$work/large"
(cd "$work" && exec_wine "X:\\$(basename "$exe")" -C 'W:\stopped' 'W:\large.iso') 2>"$work/err" &
pid=$!
for _ in $(seq 3000); do
    compgen -G "$work/stopped/DATA/.*.mg-partial" >/dev/null && break
    sleep 0.01
done
kill -INT "$pid"
wait "$pid"
status=$?
[ "$status" = 130 ] || fail "Ctrl-C: exit status $status, expected 130; stderr: $(cat "$work/err")"
contains "$work/err" "interrupted" "Ctrl-C"
[ -z "$(ls -A "$work/stopped/DATA" 2>/dev/null)" ] || fail "Ctrl-C: left $(ls -A "$work/stopped/DATA")"

finish "marrowgate-import.exe"
