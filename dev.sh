#!/usr/bin/env bash
# Entry point of the README's two commands.
#   bash dev.sh run   install what is missing, build, analyse the example sound
#   bash dev.sh test  install what is missing, build, run every test (also under ASan/UBSan)
set -euo pipefail
cd "$(dirname "$0")"

jobs=$(nproc 2>/dev/null || echo 2)

build() {  # build DIR [extra cmake args...]
  local dir=$1
  shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

case "${1:-}" in
  run)
    bash tools/install-deps.sh
    build build
    echo "== build/bin/glotmark -i examples/voice.wav -S --verbose"
    build/bin/glotmark -i examples/voice.wav -S --verbose
    echo "== results in examples/PSOvoice/ (inspect them with build/bin/glotmark-dump):"
    ls -l examples/PSOvoice/
    ;;
  test)
    bash tools/install-deps.sh
    build build
    (cd build && ctest --output-on-failure -j "$jobs")
    # The containers share storage and hand out raw views: run the unit tests again under
    # AddressSanitizer and UndefinedBehaviorSanitizer so that memory faults fail CI.
    build build-asan -DCMAKE_BUILD_TYPE=Debug -DGLOTMARK_SANITIZE=ON
    (cd build-asan && ctest --output-on-failure -j "$jobs" -L unit)
    ;;
  *)
    echo "usage: bash dev.sh run|test" >&2
    exit 2
    ;;
esac
