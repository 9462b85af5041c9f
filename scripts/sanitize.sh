#!/usr/bin/env bash
# Builds the native suites (unit, command line, detection) with clang's AddressSanitizer
# and UndefinedBehaviorSanitizer in build/sanitize and runs them. Every report is written
# to build/sanitize/reports, and any report fails the run, even from a process whose
# test went on to pass (a command-line test sees only the exit status).
#   scripts/sanitize.sh [CTEST ARGS...]
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build/sanitize" reports="$root/build/sanitize/reports"
bash "$root/scripts/setup.sh" || exit 1
if [ ! -f "$build/CMakeCache.txt" ]; then
    CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DMG_SANITIZE=ON \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit 1
fi
cmake --build "$build" -j"$(nproc)" || exit 1

rm -rf "$reports" && mkdir -p "$reports"
export ASAN_OPTIONS="log_path=$reports/asan:detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1:check_initialization_order=1"
export UBSAN_OPTIONS="log_path=$reports/ubsan:print_stacktrace=1:halt_on_error=1"
status=0
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" "$@" || status=1
if compgen -G "$reports/*" >/dev/null; then
    echo "sanitize.sh: the sanitizers reported:"
    for report in "$reports"/*; do echo "--- $report"; cat "$report"; done
    status=1
fi
[ "$status" = 0 ] && echo "sanitize.sh: the native suites passed under ASan and UBSan, with no report"
exit "$status"
