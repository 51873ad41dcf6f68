#!/usr/bin/env bash
# Builds one libFuzzer target of fuzz/CMakeLists.txt with clang (the engine
# instrumented for the fuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs it on a corpus seeded from
# fuzz/<name>/seeds and the seeds the caller names. Called by the
# tools/fuzz_<name>.sh scripts:
#
#   tools/fuzz_run.sh <name> [seconds|build] [seed files...]
#
# Output goes to $FUZZ_OUT (default build-fuzz/<name>/ in the repo): the
# growing corpus and crash-* / timeout-* / oom-* files on a finding. The
# build tree is build-fuzz/tree.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
name=$1
mode=${2:-600}
shift $(($# < 2 ? $# : 2))
out=${FUZZ_OUT:-$root/build-fuzz/$name}
tree=$root/build-fuzz/tree
mkdir -p "$out/corpus"

# ccache speeds rebuilds when it is installed; the build does not need it.
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
CC=clang CXX=clang++ cmake -S "$root" -B "$tree" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_FUZZ=ON \
  "${launcher[@]}" >/dev/null
cmake --build "$tree" --target "fuzz_$name" -j"$(nproc)"
echo "built $tree/fuzz/fuzz_$name"
[ "$mode" = build ] && exit 0

for seed in "$root/fuzz/$name"/seeds/* "$@"; do
  [ -f "$seed" ] && cp -n "$seed" "$out/corpus/" 2>/dev/null || true
done
dict=()
for d in "$root/fuzz/$name/$name.dict" "${FUZZ_DICT:-}"; do
  [ -n "$d" ] && [ -f "$d" ] && dict=(-dict="$d") && break
done
cd "$out"
exec "$tree/fuzz/fuzz_$name" -max_total_time="$mode" -timeout=10 -rss_limit_mb=2048 -max_len="${FUZZ_MAX_LEN:-8192}" \
  "${dict[@]}" -artifact_prefix="$out/" -print_final_stats=1 corpus
