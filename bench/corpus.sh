#!/usr/bin/env bash
# Benchmark of glotmark-corpus: throughput with all cores against one job at a time, and the
# runner's overhead per file, on a generated corpus (default 200 files of 5 s).
#
#   bash bench/corpus.sh [--build=build] [--files=200] [--seconds=5] [--options="-S"]
#
# Three runs on the same files, each into a fresh output tree (so that glotmark reuses nothing):
#   direct   glotmark -i on each file in a shell loop, one after the other (no runner at all)
#   jobs=1   glotmark-corpus --jobs 1
#   all      glotmark-corpus (one job per core)
# Figures: all/jobs=1 throughput ratio (target >= 1.8 on 2 cores), and the runner's overhead
# per file, as (jobs=1 wall - direct wall) / files and as (jobs=1 wall - the sum of glotmark's
# own times in its summary) / files (target < 20 ms). Not a test: run it by hand.
set -euo pipefail

build=build files=200 seconds=5 options="-S"
for a in "$@"; do
  case $a in
    --build=*) build=${a#*=} ;;
    --files=*) files=${a#*=} ;;
    --seconds=*) seconds=${a#*=} ;;
    --options=*) options=${a#*=} ;;
    *) echo "usage: bash bench/corpus.sh [--build=DIR] [--files=N] [--seconds=S] [--options=OPTS]" >&2; exit 2 ;;
  esac
done
bin=$(cd "$build/bin" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/bench-corpus-XXXXXX")
trap 'rm -rf "$work"' EXIT

# A phrase of about $seconds s: silence, three voiced stretches with glides, a fricative.
v=$(awk -v s="$seconds" 'BEGIN { printf "%.3f", (s - 1.0) / 3 }')
segments="s:0.2,v:$v:110-150:a-e,u:0.2,v:$v:160-120:i-o,s:0.2,v:$v:130-95:o-u,s:0.4"
mkdir -p "$work/corpus"
for ((i = 0; i < files; i++)); do
  d="$work/corpus/spk$((i % 10))"
  mkdir -p "$d"
  "$bin/glotsynth" --sr=16000 --segments="$segments" --seed=$((i + 1)) "$d/f$i.wav" >/dev/null
done
find "$work/corpus" -name '*.txt' -delete

now() { date +%s.%N; }
# shellcheck disable=SC2086  # the glotmark options are words
direct() {
  mkdir -p "$work/direct"
  cp -r "$work/corpus/." "$work/direct/"
  local t0 t1
  t0=$(now)
  find "$work/direct" -name '*.wav' -print0 | sort -z | while IFS= read -r -d '' f; do
    "$bin/glotmark" -i "$f" $options >/dev/null 2>&1 || true
  done
  t1=$(now)
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }'
}
runner() {  # runner NAME [glotmark-corpus options...]
  local name=$1 t0 t1
  shift
  t0=$(now)
  # shellcheck disable=SC2086
  "$bin/glotmark-corpus" -q "$@" "$work/corpus" "$work/$name" -- $options || true
  t1=$(now)
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }'
}
glotmark_sum() {  # the sum of the seconds column of a summary
  awk -F, 'NR > 1 { s += $3 } END { printf "%.3f", s }' "$work/$1/summary.csv"
}
failed() { awk -F, 'NR > 1 && $2 != "0"' "$work/$1/summary.csv" | wc -l; }

t_direct=$(direct)
t_one=$(runner one --jobs 1)
t_all=$(runner all)
s_one=$(glotmark_sum one)

echo "bash bench/corpus.sh --build=$build --files=$files --seconds=$seconds --options=\"$options\""
echo "cores: $(nproc), files: $files of ${seconds} s, glotmark options: $options"
echo "failed files: jobs=1 $(failed one), all $(failed all)"
awk -v n="$files" -v d="$t_direct" -v o="$t_one" -v a="$t_all" -v s="$s_one" 'BEGIN {
  printf "wall: direct loop %.2f s, --jobs 1 %.2f s, all cores %.2f s\n", d, o, a
  printf "throughput: --jobs 1 %.2f files/s, all cores %.2f files/s: ratio %.2f (target >= 1.8)\n",
         n / o, n / a, o / a
  printf "runner overhead per file: %.1f ms against the direct loop, %.1f ms against glotmark'"'"'s own times (target < 20 ms)\n",
         1000 * (o - d) / n, 1000 * (o - s) / n
}'
