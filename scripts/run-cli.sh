#!/usr/bin/env bash
# Sets everything up, builds, and shows marrowgate-import at work: it brings
# DATA and FMV out of the demo disc image into build/demo-import.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" native >/dev/null
out="$root/build/demo-import"
rm -rf "$out"
"$root/build/native/cli/marrowgate-import" -C "$out" "$root/build/native/demo/GAME.GOG"
echo "Imported into $out:"
(cd "$out" && find . -mindepth 1 | sort)
