#!/usr/bin/env bash
# The font of the player's frame-rate and render-size overlays ("-fps",
# "-reso"), read from font/PIXEARG_.TTF. The sample production ships Debian's
# DejaVu Sans Mono under that name.
set -euo pipefail
data=$1
mkdir -p "$data/font"
cp /usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf "$data/font/PIXEARG_.TTF"
