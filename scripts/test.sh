#!/usr/bin/env bash
# Sets everything up, builds, and runs every test: native, then the Windows build under Wine.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"

echo "== native tests"
ctest --test-dir "$root/build/native" --output-on-failure -j"$(nproc)"

echo "== Windows tests under Wine"
source "$root/scripts/wine-env.sh"
trap 'wineserver -k 2>/dev/null || true' EXIT
bash "$root/scripts/wine-prefix.sh"
ctest --test-dir "$root/build/win" --output-on-failure
