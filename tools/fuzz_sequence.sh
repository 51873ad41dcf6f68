#!/usr/bin/env bash
# Fuzzes the sequence-file loader (JSON, items of every class, properties,
# drivers and expressions). Seeds: fuzz/sequence/seeds and the production's
# sequence files. Shader effects compile their programs while loading, so
# it needs a display (e.g. xvfb-run); the GL and X libraries' own leaks are
# suppressed as in the sanitized tests.
#
#   tools/fuzz_sequence.sh [seconds]      build, then fuzz (default 600 s)
#   tools/fuzz_sequence.sh build          build only
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export LSAN_OPTIONS="suppressions=$root/tools/lsan.supp:print_suppressions=0"
FUZZ_MAX_LEN=${FUZZ_MAX_LEN:-65536} exec bash "$root/tools/fuzz_run.sh" sequence "${1:-600}" "$root"/demo/Data/seq/*.seq
