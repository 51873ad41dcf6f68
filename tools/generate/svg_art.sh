#!/usr/bin/env bash
# Vector art of the sample production (svg/velmora/*.svg), written by our own
# script: gears with ENG groups and a PIVOT marker, and a head in profile.
set -euo pipefail
data=$1
python3 "$(dirname "$0")/../make_svg_art.py" "$data/svg/velmora"
