#!/usr/bin/env bash
# End to end: the real MarrowgateImporter.exe under Wine on a virtual display, in a prefix
# where the sources are real (GOG and Steam registry entries pointing at raw images built
# from the demo disc, a CD-ROM drive D: holding the demo disc), driven by tests/e2e/driver.
# The window is closed with Done, with Enter, and with Esc during an import. It runs on
# the 32-bit program or on its 64-bit twin, with the Wine loader of the program's width.
#   e2e.sh WINDOWS_BUILD_DIR [SCREENSHOT_DIR]
# With SCREENSHOT_DIR, the window and the About box are saved there as importer.png and
# about.png (README's pictures: tests/e2e/e2e.sh build/win docs). MG_E2E_APP names another
# MarrowgateImporter.exe to drive (the release check drives the one from the zip). Where
# 32-bit programs run only under emulation (MG_EMULATED=1), where every Wine process takes
# seconds to start, the checks a shipped program must pass run alone: the window opens
# centred with its three rows, About opens from the system menu, and the GOG row imports
# the demo image; MG_WINE_PREFIX then names the prefix, shared with the other programs
# checked that way.
set -uo pipefail
build="$(cd "$1" && pwd)"
root="$(cd "$(dirname "$0")/../.." && pwd)"
shots="${2:-$build/e2e-shots}"
mkdir -p "$shots" && shots="$(cd "$shots" && pwd)"
# The driver and the image writer come from the build, or under emulation from MG_E2E_TOOLS
# (the 64-bit twin's build, which runs at full speed: the driver only sends messages).
tools="${MG_E2E_TOOLS:-$build}"
app="${MG_E2E_APP:-$build/MarrowgateImporter.exe}" driver="$tools/tests/e2e-driver.exe"
product_line="$(sed -n 's/^#define MG_PRODUCT_LINE "\(.*\)"$/\1/p' "$build/generated/Version.h")"
[ -n "$product_line" ] || { echo "FAIL: no MG_PRODUCT_LINE in $build/generated/Version.h"; exit 1; }
source "$root/scripts/wine-lib.sh"
export WINEPREFIX="${MG_WINE_PREFIX:-$build/wine-e2e}"
full_suite() { [ "${MG_EMULATED:-0}" != 1 ]; }
work="$build/e2e"
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
step() { echo "-- $*"; }
drive() { MG_WIN_BITS="$tool_bits" wine "$driver" "$@" 2>&1 | tr -d '\r'; return "${PIPESTATUS[0]}"; }

source "$root/scripts/xvfb.sh"
use_wine_for "$app" || exit 1
tool_bits="$(pe_bits "$driver")"
[ "$tool_bits" = "$MG_WIN_BITS" ] || [ -n "${MG_E2E_TOOLS:-}" ] || { echo "FAIL: $driver and $app differ in width"; exit 1; }
echo "-- on a $MG_WIN_BITS-bit program: $app"
if [ -z "${MG_E2E_DISPLAY:-}" ]; then start_xvfb || exit 1; else export DISPLAY="$MG_E2E_DISPLAY"; fi
trap 'wineserver -k 2>/dev/null; stop_xvfb' EXIT

# --- the prefix: win64, fonts, no Z:, a virtual desktop (framed windows), D: a CD-ROM drive
create_wine_prefix d:
wine_reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d Default /f
wine_reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /t REG_SZ /d 1024x768 /f
wineserver -k 2>/dev/null; wineserver -w 2>/dev/null  # the desktop is chosen when Wine starts
rm -rf "$work" && mkdir -p "$work"
ln -sfn "$work" "$WINEPREFIX/dosdevices/w:"
start_wineserver

# --- the sources: the demo disc as a folder, and as raw images for GOG and Steam; a long
# disc, whose import surely lasts while the test looks at it from outside: ten
# thousands of small files (about 2 ms each under Wine)
raw_image() {  # raw_image TREE NAME: W:\NAME\GAME.GOG, wrapped by the Windows build's writer
    genisoimage -quiet -V MARROWGATE -o "$work/$2.iso" "$1" 2>/dev/null
    mkdir -p "$work/$2"
    (cd "$work" && MG_WIN_BITS="$tool_bits" wine "$tools/make-raw-image.exe" "W:\\$2.iso" "W:\\$2\\GAME.GOG")
    rm -f "$work/$2.iso"
}
cp -r "$root/demo/disc" "$work/disc"
raw_image "$root/demo/disc" gog
steam_game="$work/Steam/steamapps/common/Marrowgate (I)"
mkdir -p "$steam_game" "$work/corrupt" "$work/long-disc/DATA" "$work/long-disc/FMV"
cp "$work/gog/GAME.GOG" "$steam_game/GAME.GOG"
if full_suite; then
head -c 200000 /dev/zero > "$work/corrupt/GAME.GOG"
echo credits > "$work/long-disc/DATA/CRED1.PCX"
for part in 1 2 3 4 5 6 7 8; do
    mkdir "$work/long-disc/DATA/PART$part"
    (cd "$work/long-disc/DATA/PART$part" && head -c 1250 /dev/zero | split -b 1 -a 4 -d - F)
done
raw_image "$work/long-disc" long
mkdir -p "$work/LongSteam/steamapps/common"
mv "$work/long" "$work/LongSteam/steamapps/common/Marrowgate (I)"
rm -rf "$work/long-disc"
fi
disc_in() { ln -sfn "$work/disc" "$WINEPREFIX/dosdevices/d:"; }
disc_out() { ln -sfn "$work/no-disc" "$WINEPREFIX/dosdevices/d:"; }

# --- running the importer and looking at it
start_app() {  # start_app RUN: a fresh working folder W:\RUN
    mkdir -p "$work/$1"
    (cd "$work/$1" && exec_wine "$app") >/dev/null 2>&1 &
    APP=$!
    # Generous: under load, Wine may take long to start a program.
    drive wait-window 60000 >/dev/null || fail "$1: the window did not appear"
}
state() { STATE="$(drive state)"; }
value() { printf '%s\n' "$STATE" | sed -n "s/^$1=//p"; }
expect() { state; holds "$@"; }  # expect WHAT key=value...
holds() {  # holds WHAT key=value...: of the STATE read last
    local what="$1"; shift
    for pair in "$@"; do
        [ "$(value "${pair%%=*}")" = "${pair#*=}" ] || fail "$what: ${pair%%=*} is '$(value "${pair%%=*}")', expected '${pair#*=}'"
    done
}
wait_row() { drive wait-row "$@" 15000 >/dev/null || fail "row $1 never showed '$2'"; }
import_row() {  # import_row ROW: Install, and STATE as the window showed it during the import
    STATE="$(drive import "$1" 60000)" || fail "$1: the import did not end"
    local ms; ms="$(value notice-ms)"
    [ "${ms:-0}" -ge 2000 ] || fail "$1: the notice came ${ms:-never} ms after the click, not after the job's 2000 ms"
}
finish_app() {  # finish_app HOW: Done, or a key (Escape, Return); the process ends
    if [ "$1" = Done ]; then drive click 1 >/dev/null; else press "$1"; fi
    if ! drive wait-gone 5000 >/dev/null; then
        fail "the window did not close with $1"
        kill "$APP" 2>/dev/null
    fi
    wait "$APP" 2>/dev/null
}
activate() {  # a click on an empty spot of the window makes it active
    state
    local r; r="$(value rect)"; IFS=, read -r l t rr b <<<"$r"
    xdotool mousemove $(( l + 20 )) $(( b - 20 )) click 1 2>/dev/null
    sleep 0.3
}
press() { activate; xdotool key "$1" 2>/dev/null; }  # press KEY into the active window
centred() {  # centred WHAT: the window's centre is the work area's, to a pixel
    IFS=, read -r l t r b <<<"$(value rect)"; IFS=, read -r wl wt wr wb <<<"$(value work-area)"
    local dx=$(( (l + r) - (wl + wr) )) dy=$(( (t + b) - (wt + wb) ))
    [ "${dx#-}" -le 2 ] && [ "${dy#-}" -le 2 ] || fail "$1: the window $(value rect) is not centred on the work area $(value work-area)"
}
nothing_selected() {  # nothing_selected WHAT: no caret, no selection in the headline, focus off it
    IFS=, read -r from to <<<"$(value headline-selection)"
    [ "$from" = "$to" ] || fail "$1: the headline shows characters $from to $to selected"
    [ "$(value caret)" = 0 ] || fail "$1: a caret shows"
    [ "$(value focus)" != 1000 ] || fail "$1: the focus is in the headline"
}
shot() { import -window root "$1"; }
crop() {  # crop SRC RECT DEST
    IFS=, read -r l t r b <<<"$2"
    convert "$1" -crop "$((r - l))x$((b - t))+$l+$t" +repage "$3"
}
same_tree() {  # same_tree WHAT EXPECTED ACTUAL
    diff -r "$2" "$3" >/dev/null || fail "$1: $3 differs from $2"
}
files_only() {  # the disc job's copy: files lying directly in DATA and FMV
    local out="$1"; mkdir -p "$out/DATA" "$out/FMV"
    find "$work/disc/DATA" -maxdepth 1 -type f -exec cp {} "$out/DATA/" \;
    find "$work/disc/FMV" -maxdepth 1 -type f -exec cp {} "$out/FMV/" \;
}
image_tree() { mkdir -p "$1" && cp -r "$work/disc/DATA" "$work/disc/FMV" "$1/"; }
image_tree "$work/expected-image"
files_only "$work/expected-disc"

requires="Brindlecast requires the level files from the original game to run"
present="Required files are now present"

if full_suite; then
step "no source"
clear_gog_entry; clear_steam_entry; disc_out
start_app run-none
expect "no source" "headline=$requires" "gog=Not found" "steam=Not found" "disc=Not found" \
    install-gog=0 install-steam=0 install-disc=0 done=1
finish_app Done
[ -z "$(ls -A "$work/run-none")" ] || fail "no source: something was written"
fi

step "all three sources"
set_gog_entry 'W:\gog'; set_steam_entry 'W:/Steam'; disc_in
start_app run-all
expect "all sources" "headline=$requires" "gog=Ready to import" "steam=Ready to import" "disc=Ready to import" \
    install-gog=1 install-steam=1 install-disc=1 done=1
centred "all sources"
sleep 1; shot "$work/all.png"; crop "$work/all.png" "$(value rect)" "$shots/importer.png"

step "a completion notice when no import was started changes nothing"
drive post 0x464 >/dev/null; drive post 0x465 >/dev/null; sleep 0.5
expect "stray notices" "headline=$requires" "gog=Ready to import" "steam=Ready to import" "disc=Ready to import" done=1

step "About through the system menu"
about="$(drive about)" || fail "About did not open"
for text in "$product_line" "OK"; do
    grep -qF "about-text=$text" <<<"$about" || fail "About: no '$text'"
done
grep -q "importer-enabled=0" <<<"$about" || fail "About: the importer is not disabled while it runs"
grep -q "owner-is-importer=1" <<<"$about" || fail "About: not owned by the importer"
sleep 1; shot "$work/about.png"; crop "$work/about.png" "$(sed -n 's/^about-rect=//p' <<<"$about" | tr -d '\r')" "$shots/about.png"
drive close-about >/dev/null || fail "About did not close with OK"

step "GOG import, then the files"
activate
import_row gog
holds "GOG importing" "steam=Ready to import" "disc=Ready to import" install-gog=0 install-steam=0 install-disc=0 done=0 \
    "end=Files imported"
expect "GOG imported" "headline=$present" install-gog=1 install-steam=1 install-disc=1 done=1 focus=1
same_tree "GOG import" "$work/expected-image" "$work/run-all"
if ! full_suite; then
    finish_app Done
    [ "$failures" -eq 0 ] && echo "end-to-end (the checks of a shipped program): all checks passed"
    exit "$failures"
fi

step "Steam import over it, and the GOG row again"
import_row steam
holds "Steam importing" "headline=$present" "gog=Files imported" done=0 "end=Files imported"
import_row gog
holds "GOG again" "end=Files imported"
same_tree "imported again" "$work/expected-image" "$work/run-all"

step "disc import after an image import fails: DATA exists"
import_row disc
holds "disc importing" "end=Import failed"
expect "disc after image" "headline=$present" "gog=Files imported" "steam=Files imported" install-disc=1 done=1
same_tree "disc after image" "$work/expected-image" "$work/run-all"
finish_app Done

step "disc import"
clear_gog_entry; clear_steam_entry
start_app run-disc
expect "disc only" "gog=Not found" "steam=Not found" "disc=Ready to import" install-gog=0 install-disc=1
import_row disc
holds "disc importing" "end=Files imported"
expect "disc imported" "headline=$present"
same_tree "disc import" "$work/expected-disc" "$work/run-disc"
finish_app Return   # Enter presses Done while it is enabled

step "a corrupt image fails; a long import: the marquee, Enter, and Escape, which ends the program"
set_gog_entry 'W:\corrupt'; set_steam_entry 'W:\LongSteam'; disc_out
start_app run-long
import_row gog
holds "corrupt image" "end=Import failed"
expect "corrupt image" "headline=$requires" "steam=Ready to import" install-gog=1 done=1
activate
drive click 1004 >/dev/null; wait_row steam "Importing files"
expect "long import" "gog=Import failed" "disc=Not found" install-gog=0 install-steam=0 done=0
nothing_selected "long import"
bar="$(value rect-steam)"
shot "$work/m1.png"; sleep 0.5; shot "$work/m2.png"
crop "$work/m1.png" "$(value rect)" "$shots/importing.png"
crop "$work/m1.png" "$(value rect-headline)" "$work/headline.png"
lit="$(convert "$work/headline.png" -fill black +opaque "#$(value highlight)" -fill white -opaque "#$(value highlight)" \
    -format '%[fx:round(mean*w*h)]' info:)"
[ "$lit" -eq 0 ] || fail "long import: $lit pixels of the highlight colour in the headline"
crop "$work/m1.png" "$bar" "$work/bar1.png"; crop "$work/m2.png" "$bar" "$work/bar2.png"
changed="$(compare -metric AE "$work/bar1.png" "$work/bar2.png" null: 2>&1 | cut -d' ' -f1)"
[ "${changed%.*}" -gt 20 ] 2>/dev/null || fail "marquee: the bar did not move ($changed pixels changed)"
dark="$(convert "$work/bar1.png" -colorspace gray -threshold 25% -negate -format '%[fx:round(mean*w*h)]' info:)"
[ "$dark" -gt 40 ] || fail "marquee: no text over the bar ($dark dark pixels)"
press Return; sleep 0.5   # Enter does not press a disabled Done
drive wait-window 100 >/dev/null || fail "Enter closed the window while Done was disabled"
expect "Escape during an import" "steam=Importing files" done=0
finish_app Escape

[ "$failures" -eq 0 ] && echo "end-to-end: all checks passed"
exit "$failures"
