#!/usr/bin/env bash
# Configures and builds: build/native (engine, marrowgate-import, tests, demo disc),
# build/win (the Windows program and its tests, 32-bit: what ships) and build/win64 (its
# 64-bit twin, for machines that cannot run 32-bit programs; never shipped).
#   build.sh [all | native | win | win64]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
what="${1:-all}"

build() {
    local dir="$1"; shift
    [ -f "$dir/CMakeCache.txt" ] || cmake -S "$root" -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir" -j"$(nproc)"
}

case "$what" in all|native) build "$root/build/native" -DCMAKE_BUILD_TYPE=RelWithDebInfo ;; esac
case "$what" in all|win) build "$root/build/win" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake" ;; esac
case "$what" in all|win64) build "$root/build/win64" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-x86_64.cmake" ;; esac
