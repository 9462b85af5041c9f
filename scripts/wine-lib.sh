# Sourced: how the scripts run Wine, in one place.
#   runs_32bit_programs      whether this machine can (else MG_NO_32BIT says why)
#   choose_windows_build     which Windows build the suites run on: MG_WIN_BUILD, MG_WIN_BITS,
#                            MG_WIN_WHAT (its name) and MG_WIN_WHY (the reason)
#   use_wine_for EXE         run Wine with the loader of EXE's width (sets MG_WIN_BITS)
#   wine ARGS...             Wine through that loader (exec_wine: in place of the shell)
#   test_prefix              the Wine test prefix of that width
#   create_wine_prefix [LETTER...]
#   start_wineserver         a persistent, warmed-up wineserver for the prefix
# Some machines cannot execute 32-bit programs at all. There the 32-bit program cannot run,
# so every Windows suite runs on its 64-bit twin (build/win64) under 64-bit Wine; MG_WIN64=1
# takes that path on any machine.
MG_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
MG_WINE32_LOADER=/usr/lib/wine/wine
MG_WINE64_LOADER=/usr/lib/wine/wine64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# runs_32bit_programs: tried by starting the 32-bit Wine loader once; when it cannot
# start, MG_NO_32BIT says why.
runs_32bit_programs() {
    local answer
    answer="$("$MG_WINE32_LOADER" --version 2>&1)" && return 0
    answer="$(printf '%s' "$answer" | tail -1)"
    MG_NO_32BIT="this machine cannot run 32-bit programs (the 32-bit Wine loader: ${answer##*: })"
    return 1
}

choose_windows_build() {
    if [ "${MG_WIN64:-0}" = 1 ]; then
        MG_WIN_BITS=64 MG_WIN_WHY="MG_WIN64=1 asks for it"
    elif runs_32bit_programs; then
        MG_WIN_BITS=32 MG_WIN_WHY="this machine runs 32-bit programs"
    else
        MG_WIN_BITS=64 MG_WIN_WHY="$MG_NO_32BIT"
    fi
    if [ "$MG_WIN_BITS" = 64 ]; then
        MG_WIN_BUILD="$MG_ROOT/build/win64" MG_WIN_WHAT="the 64-bit twin (build/win64)"
    else
        MG_WIN_BUILD="$MG_ROOT/build/win" MG_WIN_WHAT="the 32-bit program (build/win)"
    fi
    export MG_WIN_BITS MG_WIN_BUILD
}

# pe_bits EXE: 32 or 64, from the machine type in EXE's PE header.
pe_bits() {
    local header machine
    header="$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')" || return 1
    machine="$(od -An -tx2 -j$((header + 4)) -N2 "$1" 2>/dev/null | tr -d ' ')"
    case "$machine" in
        014c) echo 32 ;;
        8664) echo 64 ;;
        *) return 1 ;;
    esac
}

use_wine_for() {
    MG_WIN_BITS="$(pe_bits "$1")" || { echo "wine-lib: $1 is not a Windows program" >&2; return 1; }
    export MG_WIN_BITS
}

# Debian's launchers pick the 32-bit loader whenever wine32 is installed, so 64-bit Wine is
# called by its own loader.
wine() {
    if [ "${MG_WIN_BITS:-32}" = 64 ]; then
        WINELOADER="$MG_WINE64_LOADER" "$MG_WINE64_LOADER" "$@"
    else
        command wine "$@"
    fi
}
exec_wine() {  # the same, in place of the shell: a background job's pid is Wine's
    if [ "${MG_WIN_BITS:-32}" = 64 ]; then
        export WINELOADER="$MG_WINE64_LOADER"
        exec "$MG_WINE64_LOADER" "$@"
    fi
    exec wine "$@"
}

# A prefix of each width: one made by 64-bit Wine alone lacks the 32-bit system files.
test_prefix() {
    if [ "${MG_WIN_BITS:-32}" = 64 ]; then echo "$MG_ROOT/build/wine64-test"; else echo "$MG_ROOT/build/wine-test"; fi
}

# create_wine_prefix [LETTER...]: makes $WINEPREFIX (win64, as on 64-bit Windows) if it is
# missing, with Wine's own fonts (so dialogs measure and look the same on every machine) and
# each LETTER (d:, e:, ...) typed as a CD-ROM drive; then it takes away Z:, so the host's
# root is no drive.
create_wine_prefix() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "Creating the Wine prefix $WINEPREFIX (once)..."
        mkdir -p "$WINEPREFIX"
        (cd "$WINEPREFIX" && wine wineboot -i >/dev/null 2>&1 && wineserver -w)
        cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
        local letter
        for letter in "$@"; do
            wine_reg add 'HKLM\Software\Wine\Drives' /v "$letter" /t REG_SZ /d cdrom /f /reg:64
        done
        wineserver -k 2>/dev/null || true  # drive types are read when Wine starts
        wineserver -w 2>/dev/null || true
    fi
    rm -f "$WINEPREFIX/dosdevices/z:"
}

start_wineserver() {
    wineserver -p </dev/null >/dev/null 2>&1  # it must not hold our output open
    (cd "$WINEPREFIX/drive_c" && wine cmd /c exit 0 </dev/null >/dev/null 2>&1) || true
}

# Every prefix is win64, so its 64-bit reg.exe edits either view (/reg:32, /reg:64): it
# starts at once where 32-bit programs run only under emulation.
wine_reg() { (cd "$WINEPREFIX/drive_c" && MG_WIN_BITS=64 wine reg "$@" </dev/null >/dev/null 2>&1); }

# The store editions' entries, as their installers leave them: GOG's installer is a 32-bit
# program, so its key lands in the 32-bit view (WOW6432Node on a win64 prefix); Steam's is
# the user's.
set_gog_entry() { wine_reg add 'HKLM\SOFTWARE\GOG.com\Games\1207663463' /v path /t REG_SZ /d "$1" /f /reg:32; }
clear_gog_entry() { wine_reg delete 'HKLM\SOFTWARE\GOG.com\Games\1207663463' /f /reg:32; }
set_steam_entry() { wine_reg add 'HKCU\Software\Valve\Steam' /v SteamPath /t REG_SZ /d "$1" /f; }
clear_steam_entry() { wine_reg delete 'HKCU\Software\Valve\Steam' /v SteamPath /f; }
