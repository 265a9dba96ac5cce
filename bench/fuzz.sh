#!/usr/bin/env bash
# Runs the fuzz harnesses (tests/fuzz) under libFuzzer with AddressSanitizer and
# UndefinedBehaviorSanitizer, one after the other, each for SECONDS.
#   bench/fuzz.sh SECONDS [target...]     targets: lumbra readers f0_import sound (default all)
# Builds build-fuzz with clang first when needed. Each target starts from its stored corpus
# (tests/fuzz/corpus/<target>, never written) and the stored findings (tests/fuzz/crashes/<target>);
# new inputs go to build-fuzz/fuzz-out/<target>/corpus, findings (crash-*, leak-*, timeout-*,
# oom-*) to build-fuzz/fuzz-out/<target>/findings, the log to build-fuzz/fuzz-out/<target>/log.
# Prints per target the executions, the coverage (edges, features) and the findings.
# A finding to keep goes, once fixed, into tests/fuzz/crashes/<target>/ (the test command
# replays it); new corpus inputs worth keeping are merged into the stored corpus with
#   build-fuzz/bin/fuzz_<target> -merge=1 tests/fuzz/corpus/<target> build-fuzz/fuzz-out/<target>/corpus
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

if [[ $# -lt 1 || ! $1 =~ ^[0-9]+$ ]]; then
  echo "usage: bench/fuzz.sh SECONDS [lumbra|readers|f0_import|sound]..." >&2
  exit 2
fi
seconds=$1
shift
targets=("$@")
((${#targets[@]})) || targets=(lumbra readers f0_import sound)

declare -A max_len=([lumbra]=65536 [readers]=65536 [f0_import]=16384 [sound]=65536)
for t in "${targets[@]}"; do
  [[ -n ${max_len[$t]:-} ]] || { echo "fuzz.sh: unknown target $t" >&2; exit 2; }
done

command -v clang++ >/dev/null || { echo "fuzz.sh: clang++ missing (bash tools/install-deps.sh fuzz)" >&2; exit 1; }
build=$root/build-fuzz
if [[ ! -f $build/CMakeCache.txt ]]; then
  CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLOTMARK_FUZZ=ON \
    -DGLOTMARK_TESTS=OFF -DGLOTMARK_BENCH=OFF -DGLOTMARK_PYTHON=OFF >/dev/null
fi
nice -n 19 cmake --build "$build" -j 2 --target $(printf 'fuzz_%s ' "${targets[@]}") >/dev/null

# The harnesses write each input to a file: in memory where the machine has /dev/shm.
if [[ -z ${TMPDIR:-} && -d /dev/shm && -w /dev/shm ]]; then export TMPDIR=/dev/shm; fi

summary=()
for t in "${targets[@]}"; do
  out=$build/fuzz-out/$t
  mkdir -p "$out/corpus" "$out/findings"
  inputs=("$out/corpus" "$root/tests/fuzz/corpus/$t")
  [[ -d $root/tests/fuzz/crashes/$t ]] && inputs+=("$root/tests/fuzz/crashes/$t")
  before=$(find "$out/findings" -type f | wc -l)
  echo "== fuzz_$t for ${seconds}s (log: $out/log)"
  # -close_fd_mask=3: the readers' own messages on refused files would flood the log; libFuzzer
  # and the sanitizers still report on their own copy of standard error.
  set +e
  LSAN_OPTIONS=suppressions=$root/tests/fuzz/lsan.supp \
    nice -n 19 "$build/bin/fuzz_$t" -max_total_time="$seconds" -max_len="${max_len[$t]}" \
    -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=1024 -close_fd_mask=3 -print_final_stats=1 \
    -artifact_prefix="$out/findings/" "${inputs[@]}" >"$out/log" 2>&1
  status=$?
  set -e
  execs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$out/log" | grep -o '[0-9]*$' || echo "?")
  cov=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$out/log" | tail -1 || echo "cov: ? ft: ?")
  after=$(find "$out/findings" -type f | wc -l)
  line=$(printf '%-10s executions %-10s %-22s findings %d (status %d)' "$t" "$execs" "$cov" \
    $((after - before)) "$status")
  echo "$line"
  summary+=("$line")
  if ((after > before)); then
    find "$out/findings" -type f -newer "$out/corpus" -printf '   %p\n' 2>/dev/null | head -5
    grep -m3 -E '^(==[0-9]+==ERROR|SUMMARY|fuzz harness:)' "$out/log" | sed 's/^/   /' || true
  fi
done
echo "== summary"
printf '%s\n' "${summary[@]}"
