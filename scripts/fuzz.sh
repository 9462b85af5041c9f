#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, ASan, UBSan) in build/fuzz and runs one of
# them, or each in turn, for SECONDS from its corpus: the seeds in fuzz/corpus/TARGET (and
# for images, those fuzz_seeds writes), and what earlier runs found in build/fuzz-corpus.
#   scripts/fuzz.sh [all | TARGET] [SECONDS]     default: all, 600 s each
# A crash, leak, timeout (10 s for one input) or out-of-memory (512 MiB in one allocation, 2 GiB in
# all, the fuzzer's own corpus included) fails the run; its
# input is kept in build/fuzz-findings/TARGET, and the command that replays it is printed.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
which="${1:-all}" seconds="${2:-600}"

# target    longest input   dictionary
targets=(
    "fuzz_tree_walk        65536  -"
    "fuzz_wine_registry    16384  wine_registry"
    "fuzz_json             16384  json"
    "fuzz_steam_libraries  16384  steam_libraries"
    "fuzz_mount_info       16384  mount_info"
    "fuzz_sheet            16384  sheet"
    "fuzz_installer        262144 -"
)
names=()
for row in "${targets[@]}"; do read -r name _ <<<"$row"; names+=("$name"); done
if [ "$which" != all ] && ! printf '%s\n' "${names[@]}" | grep -qx "$which"; then
    echo "fuzz.sh: no target $which; the targets: all ${names[*]}" >&2
    exit 2
fi

bash "$root/scripts/setup.sh" || exit 1
build="$root/build/fuzz"
if [ ! -f "$build/CMakeCache.txt" ]; then
    CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DMG_FUZZ=ON -DBUILD_TESTING=OFF \
        -DMG_WERROR=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit 1
fi
cmake --build "$build" --target "${names[@]}" fuzz_seeds -j"$(nproc)" >"$build/build.log" 2>&1 ||
    { tail -n 40 "$build/build.log"; echo "fuzz.sh: the fuzz targets do not build"; exit 1; }

# The tree walk's scratch folders go under here, and go when the run ends, however it ends.
scratch="$root/build/fuzz-scratch/$$"
trap 'rm -rf "$scratch"' EXIT

run() {  # run TARGET MAXLEN DICT
    local target="$1" maxlen="$2" dict="$3"
    local corpus="$root/build/fuzz-corpus/$target" findings="$root/build/fuzz-findings/$target"
    local seeds="$root/fuzz/corpus/${target#fuzz_}" options=()
    mkdir -p "$corpus" "$findings" "$scratch/$target/tree-walk"
    [ "$target" = fuzz_tree_walk ] && "$build/fuzz/fuzz_seeds" "$corpus"
    [ "$target" = fuzz_sheet ] && "$build/fuzz/fuzz_seeds" "$scratch/$target/tree-walk" "$corpus"
    [ "$target" = fuzz_installer ] && "$build/fuzz/fuzz_seeds" "$scratch/$target/tree-walk" "$scratch/$target/tree-walk" "$corpus"
    [ "$dict" != - ] && options+=(-dict="$root/fuzz/dict/$dict.dict")
    [ -d "$seeds" ] || seeds=
    echo "== $target, $seconds s"
    local before; before="$(ls "$findings")"
    TMPDIR="$scratch/$target" "$build/fuzz/$target" "$corpus" $seeds "${options[@]}" -max_total_time="$seconds" -max_len="$maxlen" \
        -timeout=10 -malloc_limit_mb=512 -rss_limit_mb=2048 -artifact_prefix="$findings/" -print_final_stats=1 \
        >"$findings/last-run.log" 2>&1
    local status=$?
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|#[0-9]+ +DONE)' "$findings/last-run.log"
    if [ "$status" != 0 ]; then
        tail -n 60 "$findings/last-run.log"
        for input in $(comm -13 <(echo "$before") <(ls "$findings")); do
            [ "$input" = last-run.log ] && continue
            echo "fuzz.sh: $target failed on build/fuzz-findings/$target/$input; replay it with:"
            echo "    $build/fuzz/$target ${options[*]} $findings/$input"
        done
        return 1
    fi
}

failed=()
for row in "${targets[@]}"; do
    read -r name maxlen dict <<<"$row"
    [ "$which" = all ] || [ "$which" = "$name" ] || continue
    run "$name" "$maxlen" "$dict" || failed+=("$name")
done
if [ ${#failed[@]} -ne 0 ]; then
    echo "fuzz.sh: FAILED: ${failed[*]}"
    exit 1
fi
echo "fuzz.sh: every target ran ${seconds} s with no finding"
