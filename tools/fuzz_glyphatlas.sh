#!/usr/bin/env bash
# Fuzzes the glyph atlas (the font check, layout, kerning, rasterising) over any bytes as a
# font file, with stb_truetype compiled in under the sanitizers. Seeds: the
# hostile fonts of ../shared/testdata (small fonts with one field broken),
# our own fuzzing's findings and small CFF fonts.
#
#   tools/fuzz_glyphatlas.sh [seconds]      build, then fuzz (default 600 s)
#   tools/fuzz_glyphatlas.sh build          build only
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/tools/fuzz_shared.sh"
cff_font_seeds "$root/build-fuzz/cff-seeds"
FUZZ_DICT=$root/fuzz/fonts.dict exec bash "$root/tools/fuzz_run.sh" glyphatlas "${1:-600}" "$shared"/testdata/hostile/*.ttf "$root"/tests/render/fonts/*.ttf \
  "$root"/build-fuzz/cff-seeds/*.otf
