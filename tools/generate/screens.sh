#!/usr/bin/env bash
# The screen wall's sixteen animated BPG screens (tools/make_screens.py,
# encoded with tools/bpg_writer.py over x265):
#   bpg/screen01.bpg .. bpg/screen16.bpg
# Encoded once per build tree: the files are cached beside the staging
# folder, keyed by the two scripts.
set -euo pipefail
data=$1
tools=$(cd "$(dirname "$0")/.." && pwd)
python3 "$tools/make_screens.py" "$data/bpg" "$data/../../bpg-screens-cache"
