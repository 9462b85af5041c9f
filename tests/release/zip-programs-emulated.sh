#!/usr/bin/env bash
# The zip's two 32-bit programs, run on a machine whose kernel cannot run them: under
# 32-bit Wine through qemu-i386-static (scripts/emulate-32bit.sh), in one prefix made once
# for both. Each passes the checks a shipped program must pass (the suites' short form,
# MG_EMULATED=1): the window opens centred with its three rows, opens About, and imports
# the demo image from the GOG row; marrowgate-import.exe gives its version, detects GOG's
# key in the 32-bit view, imports the demo image and a cue sheet byte for byte, and refuses
# a CHD. The suites in full run on the 64-bit twin. Then, in the same prefix, Inno Setup's
# own compiler writes the installer fixtures (tests/installer/make-installers.sh).
#   zip-programs-emulated.sh ZIP WIN32_BUILD NATIVE_BUILD
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
zip="$1" build="$(cd "$2" && pwd)" native="$(cd "$3" && pwd)"
[ -f "$zip" ] || { echo "FAIL: no zip at $zip (the release check makes it)"; exit 1; }
unpacked="$(mktemp -d)"
trap 'rm -rf "$unpacked"' EXIT
unzip -q "$zip" -d "$unpacked" || { echo "FAIL: unzip $zip"; exit 1; }
exe="$(echo "$unpacked"/*/MarrowgateImporter.exe)" cli_exe="$(echo "$unpacked"/*/marrowgate-import.exe)"

run_both() {
    source "$root/scripts/wine-lib.sh"
    export MG_EMULATED=1 MG_WINE_PREFIX="$root/build/wine32-emulated" WINEPREFIX="$root/build/wine32-emulated"
    # The tests' own helpers (the driver, the image writer) from the 64-bit build, where there
    # is one: they need not be emulated.
    [ -f "$root/build/win64/tests/e2e-driver.exe" ] && export MG_E2E_TOOLS="$root/build/win64"
    use_wine_for "$exe" || return 1
    local start=$SECONDS status=0
    create_wine_prefix d: e:
    echo "-- the prefix: $((SECONDS - start)) s"
    start=$SECONDS
    MG_E2E_APP="$exe" bash "$root/tests/e2e/e2e.sh" "$build" || status=1
    echo "-- MarrowgateImporter.exe from the zip: $((SECONDS - start)) s"
    start=$SECONDS
    bash "$root/tests/cli/windows-cli-tests.sh" "$build" "$cli_exe" || status=1
    echo "-- marrowgate-import.exe from the zip: $((SECONDS - start)) s"
    start=$SECONDS
    bash "$root/tests/installer/make-installers.sh" "$native/demo/GAME.GOG" "$root/build/installers" "$native" || status=1
    echo "-- the installer fixtures: $((SECONDS - start)) s"
    wineserver -k 2>/dev/null
    return "$status"
}
export -f run_both
export root exe cli_exe build native
bash "$root/scripts/emulate-32bit.sh" bash -c run_both
