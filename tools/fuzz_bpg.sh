#!/usr/bin/env bash
# Builds the BPG reader's libFuzzer target by hand (clang, AddressSanitizer
# and UndefinedBehaviorSanitizer) and runs it on a corpus seeded from the
# reference encoder's files in ../shared/testdata/bpg and our own seeds.
# Not part of the CMake build. libde265 itself is the system library
# (not instrumented); our code around it is.
#
#   tools/fuzz_bpg.sh [seconds]      build, then fuzz (default 600 s)
#   tools/fuzz_bpg.sh build          build only
#
# Output goes to $FUZZ_OUT (default build-fuzz-bpg/ in the repo): the
# binary, the growing corpus, and crash-* / timeout-* files on a finding.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=${FUZZ_OUT:-$root/build-fuzz-bpg}
mode=${1:-600}
shared=${VELMORA_SHARED_DIR:-$root/../shared}
if [ ! -d "$shared" ]; then
  # A git worktree: shared/ lies beside the main clone.
  shared=$(dirname "$(git -C "$root" rev-parse --path-format=absolute --git-common-dir)")/../shared
fi
mkdir -p "$out/corpus"

sources=(
  "$root/fuzz/bpg/bpg_decode_fuzzer.cpp"
  "$root/production/BpgDecoder.cpp"
  "$root/production/BpgStream.cpp"
  "$root/production/BpgPixels.cpp"
)
clang++ -std=c++17 -g -O1 -ffp-contract=off \
  -fsanitize=fuzzer,address,undefined,float-cast-overflow -fno-sanitize-recover=all \
  -I"$root/velmora" -I"$root" \
  "${sources[@]}" $(pkg-config --cflags --libs libde265) -o "$out/bpg_decode_fuzzer"
echo "built $out/bpg_decode_fuzzer"
[ "$mode" = build ] && exit 0

cp -n "$shared"/testdata/bpg/*.bpg "$root"/fuzz/bpg/seeds/* "$out/corpus/" 2>/dev/null || true
cd "$out"
exec ./bpg_decode_fuzzer -max_total_time="$mode" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
  -dict="$root/fuzz/bpg/bpg.dict" -artifact_prefix="$out/" -print_final_stats=1 corpus
