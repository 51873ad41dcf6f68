#!/usr/bin/env bash
# Builds the curve view's libFuzzer target (the widget, its delegate, the
# key-frame driver and the effect base, in a headless Dear ImGui context,
# without GL or the data pack) by hand (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs it. Not part of the CMake build.
#
#   tools/fuzz_curve_edit.sh [seconds]      build, then fuzz (default 600 s)
#   tools/fuzz_curve_edit.sh build          build only
#
# Output goes to $FUZZ_OUT (default build-fuzz-curve-edit/ in the repo): the
# binary, the growing corpus, and crash-* / timeout-* files on a finding.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=${FUZZ_OUT:-$root/build-fuzz-curve-edit}
mode=${1:-600}
mkdir -p "$out/corpus"

sources=(
  "$root/fuzz/curve_edit/curve_edit_fuzzer.cpp"
  "$root/velmora/sequence/ImCurveEdit.cpp"
  "$root/velmora/sequence/rvCurveEdit.cpp"
  "$root/velmora/sequence/Driver.cpp"
  "$root/velmora/sequence/DriverKeyFrame.cpp"
  "$root/velmora/sequence/DriverProcedural.cpp"
  "$root/velmora/sequence/DriverExpression.cpp"
  "$root/velmora/sequence/Expression.cpp"
  "$root/velmora/sequence/fxBase.cpp"
  "$root/velmora/render/ShapeNode.cpp"
  "$root/velmora/render/Polyline.cpp"
  "$root/velmora/render/VectorGeometry.cpp"
  "$root/velmora/core/rvTransform.cpp"
  "$root/velmora/core/ClassDesc.cpp"
  "$root/velmora/core/rvpersist.cpp"
  "$root/velmora/core/AppLog.cpp"
  "$root/velmora/platform/CRand.cpp"
  "$root/velmora/platform/DebugOutput.cpp"
  "$root/velmora/platform/PerfCounter.cpp"
  "$root/velmora/platform/Profiler.cpp"
  "$root/velmora/platform/Shell.cpp"
)
clang++ -std=c++17 -g -O1 -ffp-contract=off \
  -fsanitize=fuzzer,address,undefined,float-cast-overflow -fno-sanitize-recover=all \
  -I"$root/velmora" -I"$root" -I"$root/third_party/glad/include" $(pkg-config --cflags imgui jsoncpp) \
  "${sources[@]}" $(pkg-config --libs imgui jsoncpp) -o "$out/curve_edit_fuzzer"
echo "built $out/curve_edit_fuzzer"
[ "$mode" = build ] && exit 0

cp -n "$root"/fuzz/curve_edit/seeds/* "$out/corpus/" 2>/dev/null || true
cd "$out"
exec ./curve_edit_fuzzer -max_total_time="$mode" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
  -artifact_prefix="$out/" -print_final_stats=1 corpus
