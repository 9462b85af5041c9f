#!/usr/bin/env bash
# Makes the Wine test prefix of a Windows build's width (win64, as on 64-bit Windows) if it
# is missing and sets up its drives, then starts a persistent wineserver so each test
# program starts fast:
#   Z: removed (the host's root is no drive)
#   T: the build's test data (BUILD/testdata)
#   D: a CD-ROM drive holding a disc (DATA\CRED1.PCX)    BUILD/drives/cd
#   E: an empty CD-ROM drive (its folder does not exist)
#   F: a fixed drive that holds DATA\CRED1.PCX too          BUILD/drives/fixed
#   wine-prefix.sh BUILD     (build/win or build/win64)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-lib.sh"
build="$(cd "$1" && pwd)"
use_wine_for "$build/MarrowgateImporter.exe"
export WINEPREFIX="$(test_prefix)"
drives="$build/drives"

create_wine_prefix d: e:

for disc in cd fixed; do
    mkdir -p "$drives/$disc/DATA" "$drives/$disc/FMV"
    echo "credits" > "$drives/$disc/DATA/CRED1.PCX"
done
ln -sfn "$build/testdata" "$WINEPREFIX/dosdevices/t:"
ln -sfn "$drives/cd" "$WINEPREFIX/dosdevices/d:"
ln -sfn "$drives/no-disc-in-drive" "$WINEPREFIX/dosdevices/e:"
ln -sfn "$drives/fixed" "$WINEPREFIX/dosdevices/f:"

start_wineserver
