#!/usr/bin/env bash
# Fuzzes shader source preprocessing and uniform annotations (GL-free:
# comment stripping, forms, includes from memory, annotations, constants,
# log formatting). Seeds: fuzz/shader/seeds, the production's shaders and
# the hostile shaders of ../shared/testdata.
#
#   tools/fuzz_shader.sh [seconds]      build, then fuzz (default 600 s)
#   tools/fuzz_shader.sh build          build only
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/tools/fuzz_shared.sh"
exec bash "$root/tools/fuzz_run.sh" shader "${1:-600}" "$root"/demo/Data/shader/demo/*.fs \
  "$shared"/testdata/hostile/shader-*
