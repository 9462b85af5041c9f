# Sourced: create_wine_prefix [LETTER...] makes $WINEPREFIX (win64, as on 64-bit Windows)
# if it is missing, with Wine's own fonts (so dialogs measure and look the same on every
# machine) and each LETTER (d:, e:, ...) typed as a CD-ROM drive; then it takes away Z:,
# so the host's root is no drive.
create_wine_prefix() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "Creating the Wine prefix $WINEPREFIX (once)..."
        mkdir -p "$WINEPREFIX"
        (cd "$WINEPREFIX" && wineboot -i >/dev/null 2>&1 && wineserver -w)
        cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
        local letter
        for letter in "$@"; do
            (cd "$WINEPREFIX/drive_c" &&
                wine reg add 'HKLM\Software\Wine\Drives' /v "$letter" /t REG_SZ /d cdrom /f /reg:64) </dev/null >/dev/null 2>&1
        done
        wineserver -k 2>/dev/null || true  # drive types are read when Wine starts
        wineserver -w 2>/dev/null || true
    fi
    rm -f "$WINEPREFIX/dosdevices/z:"
}
