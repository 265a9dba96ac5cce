#!/usr/bin/env bash
# Makes the seed inputs of the fuzz harnesses from real result files, and merges them into the
# stored corpus tests/fuzz/corpus/<target>/ with libFuzzer's -merge=1 (only the inputs that add
# coverage are kept).
#   tools/fuzz-seeds/make_seeds.sh [RAW_DIR]
# Needs the normal build (build/bin: glotmark, glotsynth, glotmark-convert) and the fuzzing
# build (build-fuzz, see bench/fuzz.sh); praat, where installed, adds Pitch and PitchTier
# files. RAW_DIR (default: a temporary folder) keeps the seeds before merging.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
bin=$root/build/bin
fuzz_bin=$root/build-fuzz/bin
for p in glotmark glotsynth glotmark-convert; do
  [[ -x $bin/$p ]] || { echo "make_seeds: $bin/$p missing: build first" >&2; exit 1; }
done
raw=${1:-$(mktemp -d)}
mkdir -p "$raw"/{lumbra,readers,f0_import,sound} "$raw/work"
work=$raw/work

# Short sounds: the example cut to half a second, and synthetic voices at three rates.
python3 "$root/tools/fuzz-seeds/sound_variants.py" cut "$root/examples/voice.wav" "$work/voice.wav" 0.5
"$bin/glotsynth" --sr=8000 --segments=v:0.25:110-140:a,u:0.05,s:0.02,b:0.01,v:0.1:200:i "$work/s8k.wav" >/dev/null
"$bin/glotsynth" --sr=16000 --float --segments=s:0.02,v:0.2:180-220:e,u:0.05 "$work/s16k.wav" >/dev/null
"$bin/glotsynth" --sr=44100 --segments=v:0.15:90:o,b:0.01,v:0.05:300:u "$work/s44k.wav" >/dev/null

# Analysis results of each: every SDIF file is a seed of the SDIF library and of the readers;
# the 1FQ0 files also of the f0 import.
for s in voice s8k s16k s44k; do
  (cd "$work" && "$bin/glotmark" -i "$s.wav" -S >/dev/null 2>&1) || echo "make_seeds: glotmark failed on $s.wav" >&2
  for f in "$work/PSO$s"/*.sdif; do
    [[ -e $f ]] || continue
    if (($(stat -c %s "$f") > 65536)); then continue; fi
    name=$(basename "$f")
    cp "$f" "$raw/lumbra/$name"
    cp "$f" "$raw/readers/$name"
    case $f in *.1FQ0.sdif) cp "$f" "$raw/f0_import/$name" ;; esac
  done
  # The converter's exports are inputs of its importers.
  for ext in PitchTier f0 txt csv; do
    "$bin/glotmark-convert" "$work/PSO$s" "$raw/f0_import/$s.$ext" >/dev/null 2>&1 || true
  done
done
cp "$root/examples/voice.f0.txt" "$raw/f0_import/example.f0.txt"
head -c 4000 "$root/examples/voice.f0.txt" >"$raw/f0_import/example_head.f0.txt"

if command -v praat >/dev/null; then
  cat >"$work/pitch.praat" <<PRAAT
sound = Read from file: "$work/s16k.wav"
pitch = To Pitch: 0.01, 75, 600
Save as text file: "$raw/f0_import/s16k.Pitch"
Save as short text file: "$raw/f0_import/s16k_short.Pitch"
tier = Down to PitchTier
Save as short text file: "$raw/f0_import/s16k_short.PitchTier"
PRAAT
  praat --run "$work/pitch.praat" >/dev/null 2>&1 || echo "make_seeds: praat failed" >&2
fi

# The sound readers: formats, rates, channels and sample sizes, each cut to a few thousand frames.
python3 "$root/tools/fuzz-seeds/sound_variants.py" variants "$work" "$raw/sound"

# Coverage cannot see inside the audio file library, where most of the sound formats are
# decoded: the sound seeds are all kept, whatever a merge would say.
mkdir -p "$root/tests/fuzz/corpus/sound"
cp "$raw/sound"/* "$root/tests/fuzz/corpus/sound/"

if [[ -x $fuzz_bin/fuzz_lumbra ]]; then
  for t in lumbra readers f0_import; do
    mkdir -p "$root/tests/fuzz/corpus/$t"
    "$fuzz_bin/fuzz_$t" -merge=1 -close_fd_mask=3 "$root/tests/fuzz/corpus/$t" "$raw/$t" 2>&1 |
      grep -E "MERGE-OUTER: [0-9]+ new files" || true
  done
else
  echo "make_seeds: no fuzzing build ($fuzz_bin): raw seeds left in $raw" >&2
fi
echo "make_seeds: raw seeds in $raw"
