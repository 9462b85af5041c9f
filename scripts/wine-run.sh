#!/usr/bin/env bash
# Runs a Windows test program in the test prefix of its width (CMake's cross-compiling
# emulator).
source "$(dirname "${BASH_SOURCE[0]}")/wine-lib.sh"
use_wine_for "$1" || exit 1
export WINEPREFIX="$(test_prefix)"
wine "$@"
