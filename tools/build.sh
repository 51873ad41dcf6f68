#!/usr/bin/env bash
# Configures and builds everything (engine, player, pack, tests, benchmarks)
# into build/, or into the folder given first, configured with the CMake
# options after it:
#   tools/build.sh                               build/
#   tools/build.sh build-asan -DVELMORA_ASAN=ON  the sanitized tree
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-build}
[ $# -gt 0 ] && shift
bash "$root/tools/setup.sh"
cmake -S "$root" -B "$root/$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$root/$dir" -j"$(nproc)"
