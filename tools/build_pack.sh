#!/usr/bin/env bash
# Builds the sample production's data pack.
#   build_pack.sh <demo/Data> <staging dir> <output .sts> [<generated Data>]
# Copies the hand-written sources, then the assets our compiled tools made
# into the optional generated Data folder (the build keeps them between
# packs), runs every generator in tools/generate/ (each gets the staging
# Data folder as its argument), writes the load list
# "csv/demo.csv" and zips the lot with every entry encrypted under the pack
# password. Directory entries are left out: they cannot be encrypted, and a
# plain entry fails to open in the player.
set -euo pipefail
src=$(cd "$1" && pwd)
stage=$2
out=$3
generated=${4:-}
password='Quiet lanterns drift over amber fields.'
tools=$(cd "$(dirname "$0")" && pwd)

rm -rf "$stage"
mkdir -p "$stage/Data"
cp -r "$src/." "$stage/Data/"
if [ -n "$generated" ]; then
  cp -r "$generated/." "$stage/Data/"
fi
for gen in "$tools"/generate/*.sh; do
  [ -e "$gen" ] || continue
  bash "$gen" "$stage/Data"
done

# The load list announces every other file's size so the loading bar can be
# sized before the reads start.
mkdir -p "$stage/Data/csv"
( cd "$stage/Data" && find . -type f ! -path ./csv/demo.csv -printf '%P;%s;\n' | LC_ALL=C sort ) \
  > "$stage/Data/csv/demo.csv"

rm -f "$out.tmp"
( cd "$stage" && LC_ALL=C find Data -type f | LC_ALL=C sort | zip -q -D -X -P "$password" "$out.tmp" -@ )
mv -f "$out.tmp" "$out"
