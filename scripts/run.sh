#!/usr/bin/env bash
# Sets everything up, builds, and opens MarrowgateImporter.exe under Wine in a demo prefix
# where the demo disc image is registered as the GOG edition (and, as a copy, as the Steam
# edition) and the demo disc sits in CD drive D:, so every row can be tried. It runs on
# the host's display if there is one, else on a virtual display (a screenshot is saved
# then). Imports land in build/demo-run/work. On a machine that cannot run 32-bit programs
# it opens the program's 64-bit twin instead, and says so.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" >/dev/null

demo="$root/build/demo-run"
source "$root/scripts/xvfb.sh"
source "$root/scripts/wine-lib.sh"
choose_windows_build
[ "$MG_WIN_BITS" = 32 ] || echo "Opening $MG_WIN_WHAT: $MG_WIN_WHY"
export WINEPREFIX="$root/build/wine-demo$([ "$MG_WIN_BITS" = 64 ] && echo 64)"
virtual=0
if [ -z "${DISPLAY:-}" ]; then start_xvfb; virtual=1; fi
trap 'wineserver -k 2>/dev/null || true; stop_xvfb' EXIT

create_wine_prefix d:
set_gog_entry 'W:\gog'
set_steam_entry 'W:/Steam'
steam="$demo/Steam/steamapps/common/Marrowgate (I)"
rm -rf "$demo/work" && mkdir -p "$demo/gog" "$steam" "$demo/work"
cp "$root/build/native/demo/GAME.GOG" "$demo/gog/GAME.GOG"
cp "$root/build/native/demo/GAME.GOG" "$steam/GAME.GOG"
ln -sfn "$demo" "$WINEPREFIX/dosdevices/w:"
ln -sfn "$root/demo/disc" "$WINEPREFIX/dosdevices/d:"

echo "Marrowgate Importer on the demo sources (GOG, Steam, CD in D:). Imports go to $demo/work"
(cd "$demo/work" && exec_wine "$MG_WIN_BUILD/MarrowgateImporter.exe") &
app=$!
if [ "$virtual" = 1 ]; then
    wine "$MG_WIN_BUILD/tests/e2e-driver.exe" wait-window 20000 >/dev/null 2>&1 || true
    sleep 1
    import -window root "$demo/screenshot.png"
    echo "No display here: the importer runs on virtual display $DISPLAY; screenshot: $demo/screenshot.png"
    if [ -t 0 ]; then read -rp "Press Enter to close it. " _; fi
    wine "$MG_WIN_BUILD/tests/e2e-driver.exe" click 1 >/dev/null 2>&1 || true
fi
wait "$app" || true
echo "Imported into $demo/work:"
(cd "$demo/work" && find . -mindepth 1 | sort)
