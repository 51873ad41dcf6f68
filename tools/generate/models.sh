#!/usr/bin/env bash
# Models of the sample production's 3D scene (tools/make_models.py).
set -euo pipefail
python3 "$(cd "$(dirname "$0")/.." && pwd)/make_models.py" "$1"
