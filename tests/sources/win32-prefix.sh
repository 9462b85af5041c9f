#!/usr/bin/env bash
# The GOG lookup on 32-bit Windows: the source-detection tests of the 32-bit program in a
# 32-bit Wine prefix (WINEARCH=win32), where GOG's installer writes the plain key. It needs
# the 32-bit program and a machine that runs 32-bit programs; elsewhere it is skipped (77),
# with the reason.
#   win32-prefix.sh WINDOWS_TESTS_EXE
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
source "$root/scripts/wine-lib.sh"
tests="$1"
if [ "$(pe_bits "$tests")" != 32 ]; then
    echo "SKIP: a 32-bit prefix runs only the 32-bit program; this build is the 64-bit twin"
    exit 77
fi
if ! runs_32bit_programs; then
    echo "SKIP: $MG_NO_32BIT"
    exit 77
fi
use_wine_for "$tests"
export WINEPREFIX="$root/build/wine-test-win32"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the 32-bit Wine prefix $WINEPREFIX (once)..."
    mkdir -p "$WINEPREFIX"
    (cd "$WINEPREFIX" && WINEARCH=win32 wine wineboot -i >/dev/null 2>&1 && wineserver -w)
fi
grep -q '^#arch=win32' "$WINEPREFIX/system.reg" || { echo "FAIL: $WINEPREFIX is not a 32-bit prefix"; exit 1; }
(cd "$(dirname "$tests")" && wine "$tests" --gtest_filter='SourceDetectionTest.Gog*')
status=$?
wineserver -k 2>/dev/null
exit "$status"
