#!/usr/bin/env bash
# Makes the Wine test prefix (win64, as on 64-bit Windows) if it is missing and sets up
# its drives, then starts a persistent wineserver so each test program starts fast:
#   Z: removed (the host's root is no drive)
#   T: the Windows build's test data (build/win/testdata)
#   D: a CD-ROM drive holding a disc (DATA\CRED1.PCX)    build/win/drives/cd
#   E: an empty CD-ROM drive (its folder does not exist)
#   F: a fixed drive that holds DATA\CRED1.PCX too          build/win/drives/fixed
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
source "$(dirname "${BASH_SOURCE[0]}")/wine-lib.sh"
drives="$MG_ROOT/build/win/drives"

create_wine_prefix d: e:

for disc in cd fixed; do
    mkdir -p "$drives/$disc/DATA" "$drives/$disc/FMV"
    echo "credits" > "$drives/$disc/DATA/CRED1.PCX"
done
ln -sfn "$MG_ROOT/build/win/testdata" "$WINEPREFIX/dosdevices/t:"
ln -sfn "$drives/cd" "$WINEPREFIX/dosdevices/d:"
ln -sfn "$drives/no-disc-in-drive" "$WINEPREFIX/dosdevices/e:"
ln -sfn "$drives/fixed" "$WINEPREFIX/dosdevices/f:"

wineserver -p </dev/null >/dev/null 2>&1  # it must not hold our output open
(cd "$WINEPREFIX/drive_c" && wine cmd /c exit 0 </dev/null >/dev/null 2>&1) || true
