#!/usr/bin/env bash
# Builds the glTF reader's libFuzzer target by hand (clang, AddressSanitizer
# and UndefinedBehaviorSanitizer) and runs it on a corpus seeded from the
# shared sample models and our own generated model. Not part of the CMake
# build. tinygltf is Debian's shared library (not instrumented).
#
#   tools/fuzz_gltf.sh [seconds]      build, then fuzz (default 600 s)
#   tools/fuzz_gltf.sh build          build only
#
# Output goes to $FUZZ_OUT (default build-fuzz-gltf/ in the repo): the
# binary, the growing corpus, and crash-* / timeout-* files on a finding.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=${FUZZ_OUT:-$root/build-fuzz-gltf}
mode=${1:-600}
mkdir -p "$out/corpus"

sources=(
  "$root/fuzz/gltf/gltf_load_fuzzer.cpp"
  "$root/velmora/effects/scenes/rvGltfModel.cpp"
  "$root/velmora/core/AppLog.cpp"
  "$root/velmora/core/JsonDepth.cpp"
  "$root/velmora/platform/DebugOutput.cpp"
  "$root/velmora/platform/Threading.cpp"
)
clang -c -O1 -g -I"$root/third_party/glad/include" "$root/third_party/glad/src/gl.c" -o "$out/glad.o"
clang++ -std=c++17 -g -O1 -ffp-contract=off -DGLFW_INCLUDE_NONE \
  -fsanitize=fuzzer,address,undefined,float-cast-overflow -fno-sanitize-recover=all \
  -I"$root/velmora" -I"$root" -I"$root/third_party/glad/include" $(pkg-config --cflags imgui) \
  "${sources[@]}" "$out/glad.o" -o "$out/gltf_load_fuzzer" $(pkg-config --libs imgui) -ltinygltf -lpthread -ldl
echo "built $out/gltf_load_fuzzer"
[ "$mode" = build ] && exit 0

shared=${VELMORA_SHARED_DIR:-$root/../shared}
cp -n "$shared"/testdata/gltf/*.glb "$root"/fuzz/gltf/seeds/* "$out/corpus/" 2>/dev/null || true
for f in Box BoxAnimated SimpleSkin; do cp -n "$shared/testdata/gltf/$f.gltf" "$out/corpus/" 2>/dev/null || true; done
python3 "$root/tools/make_models.py" "$out/models" && cp -n "$out/models/meshes/beacon.glb" "$out/corpus/"
cd "$out"
# stderr carries every log line of the reader; the findings go to files.
exec ./gltf_load_fuzzer -max_total_time="$mode" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
  -dict="$root/fuzz/gltf/gltf.dict" -artifact_prefix="$out/" -print_final_stats=1 corpus
