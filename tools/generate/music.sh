#!/usr/bin/env bash
# The sample production's soundtrack, synthesised with sox and encoded with
# lame: 54 bars at 120 beats per minute (108 s), a four-chord progression
# with a pad, a plucked bass on the beats, a kick on one and three and
# hi-hats on the off-beats. Deterministic: the same notes every build.
set -euo pipefail
data=$1
out="$data/Audio/Merrowin-Tidefall-FINAL.mp3"
mkdir -p "$data/Audio"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rate=44100
s() { sox -q -r $rate -c 2 -b 16 -n "$@"; }

# One beat = 0.5 s. Drum and hat hits, reused by every bar.
s "$work/kick.wav" synth 0.5 sine 120-40 fade q 0 0.5 0.45 vol 0.9
s "$work/hat.wav" synth 0.5 whitenoise vol 0.25 highpass 7000 fade q 0 0.5 0.47
s "$work/rest.wav" trim 0 0.5
sox -q "$work/kick.wav" "$work/hat.wav" "$work/kick.wav" "$work/hat.wav" "$work/drums_a.wav"
sox -q "$work/drums_a.wav" "$work/drums_a.wav" "$work/drums.wav"   # 2 s: one bar

bar() {  # name root third fifth bass
  local name=$1 root=$2 third=$3 fifth=$4 bass=$5
  s "$work/pad_$name.wav" synth 2 sine "$root" sine "$third" sine "$fifth" tremolo 4 30 fade q 0.05 2 0.3 vol 0.35
  for i in 0 1 2 3; do
    s "$work/b${i}_$name.wav" synth 0.5 square "$bass" vol 0.3 lowpass 600 fade q 0.005 0.5 0.4
  done
  sox -q "$work"/b?_"$name".wav "$work/bass_$name.wav"
  sox -q -m "$work/pad_$name.wav" "$work/bass_$name.wav" "$work/drums.wav" "$work/bar_$name.wav"
}
bar Am 220.00 261.63 329.63 55.00
bar F  174.61 220.00 261.63 43.65
bar C  261.63 329.63 392.00 65.41
bar G  196.00 246.94 293.66 49.00

bars=()
for _ in $(seq 13); do bars+=("$work/bar_Am.wav" "$work/bar_F.wav" "$work/bar_C.wav" "$work/bar_G.wav"); done
bars+=("$work/bar_Am.wav" "$work/bar_Am.wav")   # a two-bar coda on the tonic
sox -q "${bars[@]}" "$work/song.wav" fade t 2 108 4 norm -1
lame --quiet -b 160 "$work/song.wav" "$out"
