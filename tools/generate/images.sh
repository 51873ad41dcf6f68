#!/usr/bin/env bash
# Images of the sample production, drawn with ImageMagick. Seeds are fixed
# and PNG time chunks left out, so every build makes the same bytes.
#   img/Shadertoy/Pebbles512.png        stony relief for the basic scenes' quad
#   img/velmora/quadrants_37x21.png     red, green / blue, white quadrants (odd size)
#   img/velmora/sky_45x29.jpg           a dusk gradient (odd size, JPEG)
#   img/velmora/title_320x180.png       a title card behind the text
set -euo pipefail
data=$1
out="$data/img"
mkdir -p "$out/Shadertoy" "$out/velmora"
png=(-depth 8 -define png:exclude-chunks=date,time)

convert -seed 7 -size 512x512 plasma:grey40-grey70 -colorspace gray -shade 120x40 -auto-level \
  +level 20%,85% -colorspace sRGB -fill '#8a7a66' -tint 60 "${png[@]}" "PNG24:$out/Shadertoy/Pebbles512.png"

convert \( -size 19x11 xc:'#ff0000' -size 18x11 xc:'#00ff00' +append \) \
  \( -size 19x10 xc:'#0000ff' -size 18x10 xc:'#ffffff' +append \) -append \
  +repage "${png[@]}" "PNG24:$out/velmora/quadrants_37x21.png"

convert -size 45x29 gradient:'#1b1f4a'-'#f39a4c' -quality 92 -strip "$out/velmora/sky_45x29.jpg"

convert -size 320x180 radial-gradient:'#3a4f8f'-'#0b0d1c' \
  -fill none -stroke '#f0c070' -strokewidth 3 -draw 'circle 160,90 160,30' \
  -stroke '#7fd4ff' -strokewidth 2 -draw 'circle 160,90 160,50' \
  -stroke '#ffffff' -strokewidth 1 -draw 'line 40,150 280,150' \
  "${png[@]}" "PNG24:$out/velmora/title_320x180.png"
