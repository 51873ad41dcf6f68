#!/usr/bin/env bash
# Pictures of the images-and-particles scene, drawn with ImageMagick. Seeds
# are fixed and PNG time chunks left out, so every build makes the same bytes.
#   img/particles/nebula_640x360.png  a dim violet cloud behind the scene
#   img/particles/orb_128.png         a soft warm light with a transparent rim
set -euo pipefail
data=$1
out="$data/img/particles"
mkdir -p "$out"
png=(-depth 8 -define png:exclude-chunks=date,time)

convert -seed 23 -size 640x360 plasma:grey50-grey10 -blur 0x8 -colorspace gray -auto-level -colorspace sRGB \
  +level-colors '#04030a','#3c2c78' \
  \( -size 640x360 radial-gradient:'#2a1e50'-'#000000' \) -compose Screen -composite \
  "${png[@]}" "PNG24:$out/nebula_640x360.png"

# Colour and alpha fall off together (the colour premultiplied), so the orb
# blends softly whether its alpha is used ("Alpha") or not ("Add").
convert -size 128x128 radial-gradient:white-black -evaluate pow 2.2 \
  \( +clone -fill '#ffb070' -colorize 100 \) +swap \
  \( -clone 0,1 -compose Multiply -composite \) -delete 0 +swap \
  -compose CopyOpacity -composite "${png[@]}" "PNG32:$out/orb_128.png"
