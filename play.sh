#!/usr/bin/env bash
# Builds and plays the sample production. Switches pass through to the
# player, e.g. ./play.sh -640x480 -fps
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
bash "$root/tools/build.sh"
cd "$root/build"
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  # No display to open a window on: play on a virtual one.
  exec xvfb-run -a -s "-screen 0 1920x1080x24" ./Velmora-Pinvale "$@"
fi
exec ./Velmora-Pinvale "$@"
