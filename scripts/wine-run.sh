#!/usr/bin/env bash
# Runs a Windows test program under the test prefix (CMake's cross-compiling emulator).
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
exec wine "$@"
