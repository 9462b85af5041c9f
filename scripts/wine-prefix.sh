#!/usr/bin/env bash
# Makes the Wine test prefix (win64, as on 64-bit Windows) if it is missing, takes away
# Z: so the host's root is no drive, maps T: to the Windows build's test data, and
# starts a persistent wineserver so each test program starts fast.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine-prefix: creating $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    (cd "$WINEPREFIX" && wineboot -i >/dev/null 2>&1 && wineserver -w)
    cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
fi
rm -f "$WINEPREFIX/dosdevices/z:"
ln -sfn "$MG_ROOT/build/win/testdata" "$WINEPREFIX/dosdevices/t:"

wineserver -p </dev/null >/dev/null 2>&1  # it must not hold our output open
(cd "$WINEPREFIX/drive_c" && wine cmd /c exit 0 </dev/null >/dev/null 2>&1) || true
