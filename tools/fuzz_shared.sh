# Sourced by the fuzz scripts: $shared is shared/ beside the project clone
# (real test files), found from a git worktree too.
shared="$root/../shared"
if [ ! -d "$shared" ]; then
  common=$(git -C "$root" rev-parse --path-format=absolute --git-common-dir 2>/dev/null || true)
  [ -n "$common" ] && shared="$(dirname "$common")/../shared"
fi
