#!/usr/bin/env bash
# Sets everything up, builds, and runs every test: native, then the Windows build under Wine,
# then the release artifacts (built twice and compared, then installed and run).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"

echo "== native tests"
ctest --test-dir "$root/build/native" --output-on-failure -j"$(nproc)"

echo "== Windows tests under Wine"
source "$root/scripts/wine-env.sh"
source "$root/scripts/xvfb.sh"
start_xvfb   # the jobs post to real windows
trap 'wineserver -k 2>/dev/null || true; stop_xvfb' EXIT
bash "$root/scripts/wine-prefix.sh"
ctest --test-dir "$root/build/win" --output-on-failure

echo "== release artifacts"
bash "$root/tests/release/release-tests.sh" "$root/build/native" "$root/build/win"
