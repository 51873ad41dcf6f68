#!/usr/bin/env bash
# The README's pictures: one screenshot of each scene of the sample
# production, taken from the player's frames at fixed 1/60 s steps at
# 640x360 (production_shots, built with everything) and written as small
# PNGs into docs/. Run it again whenever the production changes:
#   tools/screenshots.sh
# It needs a display (it starts a virtual one when there is none) and
# pngquant, which it installs when missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"

# A frame well inside each scene, away from its cross-fades: the shooter
# takes every 60th frame (one a second), and these are kept.
scenes=("480 01-dawn" "1440 02-depths" "2400 03-rings" "3240 04-vector-art"
        "3840 05-scene-3d" "4500 06-images-particles" "5400 07-screen-wall" "6000 08-night")

if ! command -v pngquant >/dev/null; then
  apt-get install -y --no-install-recommends pngquant >/dev/null
fi
[ -x "$build/production_shots" ] || bash "$root/tools/build.sh"

shots=$(mktemp -d)
trap 'rm -rf "$shots"' EXIT
shoot=("$build/production_shots" shoot "$shots" 640 360 60 0)
if [ -z "${DISPLAY:-}" ]; then shoot=(xvfb-run -a -s "-screen 0 1280x720x24" "${shoot[@]}"); fi
(cd "$build" && SDL_AUDIODRIVER=dummy "${shoot[@]}")

mkdir -p "$root/docs"
for scene in "${scenes[@]}"; do
  read -r frame name <<<"$scene"
  printf -v file "frame_%05d.png" "$frame"
  pngquant --force --quality 60-90 --speed 1 --output "$root/docs/$name.png" "$shots/$file"
done
du -ch "$root"/docs/*.png | tail -n 1
