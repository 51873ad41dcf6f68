#!/usr/bin/env bash
# Builds everything and runs every test under one virtual display.
#   ./test.sh [ctest options]              the plain build, in build/
#   ./test.sh --sanitize [ctest options]   the AddressSanitizer and
#       UndefinedBehaviorSanitizer build, in build-asan/, leak checks on
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
builddir=build
if [ "${1:-}" = "--sanitize" ]; then
  shift
  builddir=build-asan
  bash "$root/tools/build.sh" "$builddir" -DVELMORA_ASAN=ON
  # Leak checks on, with the GL and X libraries' own leaks suppressed (the
  # file says why). A request the allocator cannot meet returns null, as it
  # does without the sanitizer: the pack's test of an entry larger than
  # memory relies on it.
  export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1:strict_string_checks=1:detect_stack_use_after_return=1"
  export LSAN_OPTIONS="suppressions=$root/tools/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
else
  bash "$root/tools/build.sh"
fi

# One Xvfb for the whole run, stopped by its process id however the run ends.
# It picks a free display itself (-displayfd) and writes the number once it
# accepts clients: a display number picked here could already be taken by
# another server, and the tests would then draw on someone else's screen.
displayfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x720x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null || true; rm -f "$displayfile"' EXIT
for _ in $(seq 300); do
  [ -s "$displayfile" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.1
done
if [ ! -s "$displayfile" ]; then
  echo "test.sh: Xvfb did not start" >&2
  exit 1
fi
export DISPLAY=":$(head -n 1 "$displayfile")"

export SDL_AUDIODRIVER=dummy
cd "$root/$builddir"
ctest --output-on-failure -j"$(nproc)" "$@"
