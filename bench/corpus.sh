#!/usr/bin/env bash
# Benchmark of glotmark-corpus: throughput with all cores against one job at a time, and the
# runner's overhead per file, on a generated corpus (default 200 files of 5 s).
#
#   bash bench/corpus.sh [--build=build] [--files=200] [--seconds=5] [--options="-S"] [--repeat=3]
#
# Runs on the same files (16 kHz, as TTS corpora often are), each into a fresh output tree so
# that glotmark reuses nothing:
#   direct   glotmark -i on each file in a shell loop, one after the other (no runner at all)
#   jobs=1   glotmark-corpus --jobs 1
#   all      glotmark-corpus (one job per core)
# jobs=1 and all alternate --repeat times and the fastest of each counts: the machine is shared,
# and the fastest run is the one least slowed by others. Figures: all/jobs=1 throughput ratio
# (target >= 1.8 on 2 cores), and the runner's overhead per file, as (jobs=1 wall - the sum of
# glotmark's own times in its summary) / files (target < 20 ms) and, more exposed to the noise,
# as (jobs=1 wall - direct wall) / files. These runs keep each glotmark on one thread
# (GLOTMARK_THREADS=1), so that the ratio is the runner's own scaling; one more --jobs 1 run lets
# glotmark use its threads (glotmark-corpus --jobs 1 gives it every core), for comparison. The
# last line splits what all cores lose against cores x one job: each glotmark's own time side by
# side against alone, and the share of the run during which the job slots held a worker (from
# GNU parallel's job log).
# Not a test: run it by hand.
set -euo pipefail

build=build files=200 seconds=5 options="-S" repeat=3
for a in "$@"; do
  case $a in
    --build=*) build=${a#*=} ;;
    --files=*) files=${a#*=} ;;
    --seconds=*) seconds=${a#*=} ;;
    --options=*) options=${a#*=} ;;
    --repeat=*) repeat=${a#*=} ;;
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
  rm -rf "${work:?}/$name"
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
# Share of the run's span during which GNU parallel's job slots held a worker, from the job log
# of run $1 with $2 slots, and the time the last worker ran alone after the one before it ended.
slots_busy() {
  awk -F'\t' -v slots="$2" 'NR > 1 {
      s = $3 + 0; e = s + $4; busy += $4
      if (first == "" || s < first) first = s
      if (e > last) { before = last; last = e } else if (e > before) before = e
    } END { printf "%.1f %.2f", 100 * busy / (slots * (last - first)), last - before }' \
    "$work/$1/.glotmark-corpus/joblog"
}

t_threads=$(runner threads --jobs 1)
export GLOTMARK_THREADS=1
t_direct=$(direct)
t_one=1e9 t_all=1e9 s_one=0 s_all=0 f_one=0 f_all=0 busy_all="0 0"
for ((r = 0; r < repeat; r++)); do
  t=$(runner one --jobs 1)
  if awk -v a="$t" -v b="$t_one" 'BEGIN { exit !(a < b) }'; then
    t_one=$t s_one=$(glotmark_sum one) f_one=$(failed one)
  fi
  t=$(runner all)
  if awk -v a="$t" -v b="$t_all" 'BEGIN { exit !(a < b) }'; then
    t_all=$t f_all=$(failed all) s_all=$(glotmark_sum all) busy_all=$(slots_busy all "$(nproc)")
  fi
done

echo "bash bench/corpus.sh --build=$build --files=$files --seconds=$seconds --options=\"$options\" --repeat=$repeat"
echo "cores: $(nproc), load average at the end: $(cut -d' ' -f1-3 /proc/loadavg), files: $files of ${seconds} s at 16 kHz, glotmark options: $options"
echo "failed files: jobs=1 $f_one, all $f_all"
awk -v n="$files" -v d="$t_direct" -v o="$t_one" -v a="$t_all" -v s="$s_one" -v t="$t_threads" \
    -v sa="$s_all" -v busy="${busy_all% *}" -v tail="${busy_all#* }" -v cores="$(nproc)" 'BEGIN {
  printf "wall (fastest of the repeats): direct loop %.2f s, --jobs 1 %.2f s, all cores %.2f s\n", d, o, a
  printf "throughput: --jobs 1 %.2f files/s, all cores %.2f files/s: ratio %.2f (target >= 1.8)\n",
         n / o, n / a, o / a
  printf "runner overhead per file: %.1f ms against glotmark'"'"'s own times, %.1f ms against the direct loop (target < 20 ms)\n",
         1000 * (o - s) / n, 1000 * (o - d) / n
  printf "--jobs 1 with glotmark on its own threads: %.2f s (%.2f files/s, all cores on one thread each: %.2fx that)\n",
         t, n / t, t / a
  printf "where all cores lose against %d x one job: glotmark takes %.1f ms a file side by side against %.1f ms alone (%.2fx); the job slots held a worker %.1f %% of the run, the last one alone for %.2f s\n",
         cores, 1000 * sa / n, 1000 * s / n, sa / s, busy, tail
}'
