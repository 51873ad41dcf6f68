#!/usr/bin/env bash
# Installs every package the build, the player and the tests need on a fresh
# Debian 12 machine. Safe to run again: apt-get skips what is there.
set -euo pipefail
packages=(
  cmake g++ make pkg-config git
  libglfw3-dev libglm-dev libjsoncpp-dev libphysfs-dev libstb-dev libimgui-dev
  libtinygltf-dev libglu1-mesa-dev libgl-dev libegl-dev libgl1-mesa-dri
  libmpg123-dev libsdl2-dev libde265-dev python3-glad
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  xvfb xauth x11-utils xdotool imagemagick
  zip sox lame x265 hershey-fonts-data fonts-dejavu-core fonts-cantarell fonts-freefont-otf
  adwaita-icon-theme
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
