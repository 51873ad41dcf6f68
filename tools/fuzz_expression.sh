#!/usr/bin/env bash
# Builds the formula compiler's libFuzzer target (the collect pass,
# compilation the expression driver's way and against a bare table, and
# evaluation under the loop budget; plain C++, no GL) by hand (clang,
# AddressSanitizer and UndefinedBehaviorSanitizer) and runs it on a corpus
# seeded from fuzz/expression/seeds and every formula of the shared
# reference table (../shared/testdata/expressions, one file per formula).
# Not part of the CMake build.
#
#   tools/fuzz_expression.sh [seconds]      build, then fuzz (default 600 s)
#   tools/fuzz_expression.sh build          build only
#
# Output goes to $FUZZ_OUT (default build-fuzz-expression/ in the repo): the
# binary, the growing corpus, and crash-* / timeout-* files on a finding.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/tools/fuzz_shared.sh"
out=${FUZZ_OUT:-$root/build-fuzz-expression}
mode=${1:-600}
mkdir -p "$out/corpus"

clang++ -std=c++17 -g -O1 -ffp-contract=off \
  -fsanitize=fuzzer,address,undefined,float-cast-overflow -fno-sanitize-recover=all \
  -I"$root/velmora" -I"$root" \
  "$root/fuzz/expression/expression_fuzzer.cpp" "$root/velmora/sequence/Expression.cpp" \
  -o "$out/expression_fuzzer"
echo "built $out/expression_fuzzer"
[ "$mode" = build ] && exit 0

cp -n "$root"/fuzz/expression/seeds/* "$out/corpus/" 2>/dev/null || true
# The table's first column, header skipped; "\n" stands for a line feed.
n=0
tail -n +2 "$shared/testdata/expressions/reference-values.tsv" | cut -f1 | while IFS= read -r formula; do
  n=$((n + 1))
  printf '%b' "$formula" > "$out/corpus/reference-$n"
done
cd "$out"
exec ./expression_fuzzer -max_total_time="$mode" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
  -dict="$root/fuzz/expression/expression.dict" -artifact_prefix="$out/" -print_final_stats=1 corpus
