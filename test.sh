#!/usr/bin/env bash
# Builds everything and runs every test under one virtual display.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
bash "$root/tools/build.sh"

# One Xvfb for the whole run, stopped by its process id however the run ends.
# It picks a free display itself (-displayfd) and writes the number once it
# accepts clients: a display number picked here could already be taken by
# another server, and the tests would then draw on someone else's screen.
displayfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x720x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null || true; rm -f "$displayfile"' EXIT
for _ in $(seq 300); do
  [ -s "$displayfile" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.1
done
if [ ! -s "$displayfile" ]; then
  echo "test.sh: Xvfb did not start" >&2
  exit 1
fi
export DISPLAY=":$(head -n 1 "$displayfile")"

export SDL_AUDIODRIVER=dummy
cd "$root/build"
ctest --output-on-failure -j"$(nproc)" "$@"
