#!/usr/bin/env bash
# Builds the demo disc image: demo/disc authored by genisoimage, then wrapped in raw
# 2352-byte Mode 1 sectors by our make-raw-image, as the store editions ship GAME.GOG.
#   make-demo-image.sh MAKE_RAW_IMAGE DISC_FOLDER OUTPUT.gog
set -euo pipefail
make_raw="$1" disc="$2" output="$3"
cooked="$output.iso"
# genisoimage warns that DATA.NOW breaks strict ISO 9660 naming; the real disc has it too.
genisoimage -quiet -V MARROWGATE -o "$cooked" "$disc" 2>/dev/null
"$make_raw" "$cooked" "$output"
rm -f "$cooked"
