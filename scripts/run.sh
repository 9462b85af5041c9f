#!/usr/bin/env bash
# Sets everything up, builds, and opens MarrowgateImporter.exe under Wine in a demo prefix
# where the demo disc image is registered as the GOG edition (and, as a copy, as the Steam
# edition) and the demo disc sits in CD drive D:, so every row can be tried. It runs on
# the host's display if there is one, else on a virtual display (a screenshot is saved
# then). Imports land in build/demo-run/work.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" >/dev/null

demo="$root/build/demo-run"
export WINEPREFIX="$root/build/wine-demo" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
source "$root/scripts/xvfb.sh"
source "$root/scripts/wine-lib.sh"
virtual=0
if [ -z "${DISPLAY:-}" ]; then start_xvfb; virtual=1; fi
trap 'wineserver -k 2>/dev/null || true; stop_xvfb' EXIT

create_wine_prefix d:
# The store editions' entries, as their installers leave them.
(cd "$WINEPREFIX/drive_c" &&
    wine reg add 'HKLM\SOFTWARE\GOG.com\Games\1207663463' /v path /t REG_SZ /d 'W:\gog' /f &&
    wine reg add 'HKCU\Software\Valve\Steam' /v SteamPath /t REG_SZ /d 'W:/Steam' /f) >/dev/null 2>&1
steam="$demo/Steam/steamapps/common/Marrowgate (I)"
rm -rf "$demo/work" && mkdir -p "$demo/gog" "$steam" "$demo/work"
cp "$root/build/native/demo/GAME.GOG" "$demo/gog/GAME.GOG"
cp "$root/build/native/demo/GAME.GOG" "$steam/GAME.GOG"
ln -sfn "$demo" "$WINEPREFIX/dosdevices/w:"
ln -sfn "$root/demo/disc" "$WINEPREFIX/dosdevices/d:"

echo "Marrowgate Importer on the demo sources (GOG, Steam, CD in D:). Imports go to $demo/work"
(cd "$demo/work" && exec wine "$root/build/win/MarrowgateImporter.exe") &
app=$!
if [ "$virtual" = 1 ]; then
    wine "$root/build/win/tests/e2e-driver.exe" wait-window 20000 >/dev/null 2>&1 || true
    sleep 1
    import -window root "$demo/screenshot.png"
    echo "No display here: the importer runs on virtual display $DISPLAY; screenshot: $demo/screenshot.png"
    if [ -t 0 ]; then read -rp "Press Enter to close it. " _; fi
    wine "$root/build/win/tests/e2e-driver.exe" click 1 >/dev/null 2>&1 || true
fi
wait "$app" || true
echo "Imported into $demo/work:"
(cd "$demo/work" && find . -mindepth 1 | sort)
