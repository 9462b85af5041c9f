#!/usr/bin/env bash
# Builds the fuzz target with clang (libFuzzer, ASan, UBSan) and runs it.
#   scripts/fuzz.sh [SECONDS]     default 600; corpus in build/fuzz-corpus, crashes in build/fuzz-findings
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-600}"
bash "$root/scripts/setup.sh"
CC=clang CXX=clang++ cmake -S "$root" -B "$root/build/fuzz" -DMG_FUZZ=ON -DBUILD_TESTING=OFF -DMG_WERROR=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build/fuzz" --target fuzz_tree_walk fuzz_seeds -j2 >/dev/null
corpus="$root/build/fuzz-corpus" findings="$root/build/fuzz-findings"
mkdir -p "$corpus" "$findings"
# The target's scratch folders go here, and go when the run ends, however it ends.
export TMPDIR="$root/build/fuzz-scratch"
rm -rf "$TMPDIR" && mkdir -p "$TMPDIR"
trap 'rm -rf "$TMPDIR"' EXIT
"$root/build/fuzz/fuzz/fuzz_seeds" "$corpus"
"$root/build/fuzz/fuzz/fuzz_tree_walk" "$corpus" -max_total_time="$seconds" -max_len=65536 -timeout=10 \
    -rss_limit_mb=512 -artifact_prefix="$findings/" -print_final_stats=1
