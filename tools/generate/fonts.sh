#!/usr/bin/env bash
# Fonts of the sample production, copied from Debian's fonts-dejavu-core.
set -euo pipefail
data=$1
mkdir -p "$data/font"
cp /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$data/font/DejaVuSans.ttf"
cp /usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf "$data/font/DejaVuSansMono.ttf"
# The engine's default vector font name (the test scene's text, fxText's
# default Font).
mkdir -p "$data/Font"
cp /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$data/Font/Dozirevev.ttf"
