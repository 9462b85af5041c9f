#!/usr/bin/env bash
# Configures and builds both configurations: build/native (engine, marrowgate-import,
# tests, demo disc) and build/win (the engine and its tests for 32-bit Windows).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
what="${1:-all}"   # all | native | win

build() {
    local dir="$1"; shift
    [ -f "$dir/CMakeCache.txt" ] || cmake -S "$root" -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir" -j"$(nproc)"
}

[ "$what" = win ] || build "$root/build/native" -DCMAKE_BUILD_TYPE=RelWithDebInfo
[ "$what" = native ] || build "$root/build/win" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake"
