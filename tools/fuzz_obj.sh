#!/usr/bin/env bash
# Builds the OBJ and MTL readers' libFuzzer target by hand (clang,
# AddressSanitizer and UndefinedBehaviorSanitizer) and runs it on a corpus
# seeded from the shared OBJ test files and our own generated town (an OBJ,
# "@@MTL@@", then its MTL). Not part of the CMake build.
#
#   tools/fuzz_obj.sh [seconds]      build, then fuzz (default 600 s)
#   tools/fuzz_obj.sh build          build only
#
# Output goes to $FUZZ_OUT (default build-fuzz-obj/ in the repo): the
# binary, the growing corpus, and crash-* / timeout-* files on a finding.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=${FUZZ_OUT:-$root/build-fuzz-obj}
mode=${1:-600}
mkdir -p "$out/corpus"

sources=(
  "$root/fuzz/obj/obj_load_fuzzer.cpp"
  "$root/velmora/effects/scenes/rvObjModel.cpp"
  "$root/velmora/render/VectorGeometry.cpp"
  "$root/velmora/core/AppLog.cpp"
  "$root/velmora/platform/DebugOutput.cpp"
  "$root/velmora/platform/Threading.cpp"
)
clang++ -std=c++17 -g -O1 -ffp-contract=off -DGLFW_INCLUDE_NONE \
  -fsanitize=fuzzer,address,undefined,float-cast-overflow -fno-sanitize-recover=all \
  -I"$root/velmora" -I"$root" -I"$root/third_party/glad/include" $(pkg-config --cflags imgui) \
  "${sources[@]}" -o "$out/obj_load_fuzzer" $(pkg-config --libs imgui) -lpthread
echo "built $out/obj_load_fuzzer"
[ "$mode" = build ] && exit 0

shared=${VELMORA_SHARED_DIR:-$root/../shared}
cp -n "$shared"/testdata/obj/*.obj "$root"/fuzz/obj/seeds/* "$out/corpus/" 2>/dev/null || true
python3 "$root/tools/make_models.py" "$out/models"
cat "$out/models/meshes/city.obj" <(printf '@@MTL@@') "$out/models/meshes/city.mtl" > "$out/corpus/city.obj"
cd "$out"
# stderr carries every log line of the reader; the findings go to files.
exec ./obj_load_fuzzer -max_total_time="$mode" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
  -dict="$root/fuzz/obj/obj.dict" -artifact_prefix="$out/" -print_final_stats=1 corpus
