#!/usr/bin/env bash
# Sets everything up, builds, and runs every test: native, again under the sanitizers, each
# fuzz target briefly, then the Windows suites under Wine, then the release artifacts
# (built twice and compared, then installed and run), and last the zip's two 32-bit
# programs and the installer fixtures, under emulation where the kernel cannot run them.
# The Windows suites run on the 32-bit program where this machine runs 32-bit programs,
# else on its 64-bit twin; MG_WIN64=1 takes the 64-bit path anywhere.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup.sh" || exit 1
bash "$root/scripts/build.sh" || exit 1

# An emulator left registered by a run killed outright would pass this machine off as one
# that runs 32-bit programs: it goes before the choice.
bash "$root/scripts/emulate-32bit.sh" --remove-stale
source "$root/scripts/wine-lib.sh"
choose_windows_build
echo "== the Windows suites run on $MG_WIN_WHAT: $MG_WIN_WHY"

failed=()
stage() {  # stage NAME COMMAND...: runs it, and remembers a failure
    echo "== $1"
    "${@:2}" || failed+=("$1")
}
windows_suites() {
    source "$root/scripts/xvfb.sh"
    start_xvfb || return 1  # the jobs post to real windows
    trap 'WINEPREFIX="$(test_prefix)" wineserver -k 2>/dev/null; stop_xvfb' EXIT
    local status=0
    bash "$root/scripts/wine-prefix.sh" "$MG_WIN_BUILD" &&
        ctest --test-dir "$MG_WIN_BUILD" --output-on-failure || status=1
    WINEPREFIX="$(test_prefix)" wineserver -k 2>/dev/null
    stop_xvfb
    return "$status"
}
# The EDC's PMULL folding, on 64-bit ARM under qemu, against the bit-by-bit EDC and the table.
edc_on_aarch64() {
    local build="$root/build/aarch64"
    [ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-linux-aarch64.cmake" >/dev/null
    cmake --build "$build" --target portable_tests >/dev/null || return 1
    qemu-aarch64-static -L /usr/aarch64-linux-gnu "$build/tests/portable_tests" --gtest_filter='Edc.*'
}
# The zip's 32-bit programs, after the release check has made the zip, under emulation
# where the kernel cannot run them (where it can, that check ran their suites in full);
# and in the same prefix, the installers that Inno Setup's own compiler writes.
zip_programs_emulated() {
    local version
    version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$root/build/native/CMakeCache.txt")"
    bash "$root/tests/release/zip-programs-emulated.sh" \
        "$root/build/release-check/a/dist/MarrowgateImporter-$version-win32.zip" "$root/build/win" "$root/build/native"
    local status=$?
    [ "$status" -eq 77 ] && return 0  # it said why it could not run
    return "$status"
}
# The 32-bit program's resources are read without Wine, so they are checked everywhere.
resources_32bit() { ctest --test-dir "$root/build/win" --output-on-failure -R '^resources$'; }

stage "native tests" ctest --test-dir "$root/build/native" --output-on-failure -j"$(nproc)"
stage "native suites under ASan and UBSan" bash "$root/scripts/sanitize.sh"
stage "every fuzz target, 30 s each" bash "$root/scripts/fuzz.sh" all 30
stage "the EDC on aarch64 (qemu)" edc_on_aarch64
stage "Windows tests under Wine ($MG_WIN_WHAT)" windows_suites
[ "$MG_WIN_BITS" = 64 ] && stage "the 32-bit program's resources" resources_32bit
stage "release artifacts" bash "$root/tests/release/release-tests.sh" "$root/build/native" "$MG_WIN_BUILD"
stage "the zip's 32-bit programs and the installer fixtures (32-bit Wine, emulated where need be)" zip_programs_emulated

echo
if [ ${#failed[@]} -eq 0 ]; then
    echo "test.sh: all suites passed; the Windows suites ran on $MG_WIN_WHAT: $MG_WIN_WHY"
else
    echo "test.sh: FAILED: $(printf '%s; ' "${failed[@]}")the Windows suites ran on $MG_WIN_WHAT: $MG_WIN_WHY"
    exit 1
fi
