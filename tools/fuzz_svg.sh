#!/usr/bin/env bash
# Builds the SVG parser's libFuzzer target (the parser, the shape set and the
# edge sets, without GL or the data pack) by hand (clang, AddressSanitizer
# and UndefinedBehaviorSanitizer) and runs it on a corpus seeded from the
# test documents. Not part of the CMake build.
#
#   tools/fuzz_svg.sh [seconds]      build, then fuzz (default 600 s)
#   tools/fuzz_svg.sh build          build only
#
# Output goes to $FUZZ_OUT (default build-fuzz-svg/ in the repo): the
# binary, the growing corpus, and crash-* / timeout-* files on a finding.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=${FUZZ_OUT:-$root/build-fuzz-svg}
mode=${1:-600}
mkdir -p "$out/corpus"

sources=(
  "$root/fuzz/svg/svg_parse_fuzzer.cpp"
  "$root/velmora/svg/SvgParser.cpp"
  "$root/velmora/svg/SvgAttributes.cpp"
  "$root/velmora/svg/SvgPathData.cpp"
  "$root/velmora/svg/EnclosingBall.cpp"
  "$root/velmora/svg/nanoSVGBase.cpp"
  "$root/velmora/svg/nanoSVG2Edge.cpp"
  "$root/velmora/platform/CRand.cpp"
)
# The shape set's GL calls are linked but never reached: fills are only
# uploaded by Load, which the target does not call.
clang -g -O1 -c -I"$root/third_party/glad/include" "$root/third_party/glad/src/gl.c" -o "$out/glad.o"
clang++ -std=c++17 -g -O1 -ffp-contract=off \
  -fsanitize=fuzzer,address,undefined,float-cast-overflow -fno-sanitize-recover=all \
  -I"$root/velmora" -I"$root" -I"$root/third_party/glad/include" \
  "${sources[@]}" "$out/glad.o" -lGLU -lGL -o "$out/svg_parse_fuzzer"
echo "built $out/svg_parse_fuzzer"
[ "$mode" = build ] && exit 0

cp -n "$root"/tests/svg/data/*.svg "$root"/fuzz/svg/seeds/* "$out/corpus/" 2>/dev/null || true
cd "$out"
exec ./svg_parse_fuzzer -max_total_time="$mode" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
  -dict="$root/fuzz/svg/svg.dict" -artifact_prefix="$out/" -print_final_stats=1 corpus
