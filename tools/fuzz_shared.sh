# Sourced by the fuzz scripts: $shared is shared/ beside the project clone
# (real test files), found from a git worktree too.
shared="$root/../shared"
if [ ! -d "$shared" ]; then
  common=$(git -C "$root" rev-parse --path-format=absolute --git-common-dir 2>/dev/null || true)
  [ -n "$common" ] && shared="$(dirname "$common")/../shared"
fi

# Small CFF-flavoured fonts cut from real OpenType fonts (global and local
# subroutines, hint masks) as seeds for the font targets, written to $1 when
# Debian's python3-fonttools is installed.
cff_font_seeds() {
  mkdir -p "$1"
  if ! /usr/bin/python3 -c 'import fontTools' 2>/dev/null; then
    echo "no python3-fonttools: the font targets start without CFF seeds" >&2
    return 0
  fi
  local font
  for font in /usr/share/fonts/opentype/cantarell/Cantarell-Regular.otf /usr/share/fonts/opentype/freefont/FreeSerif.otf; do
    [ -f "$font" ] || continue
    /usr/bin/python3 -m fontTools.subset "$font" --text='AOg&' --drop-tables+=GPOS,GSUB,GDEF,name,OS/2,post \
      --output-file="$1/$(basename "$font" .otf)-AOg.otf" 2>/dev/null
  done
}
