#!/usr/bin/env bash
# Installs the Debian packages the project builds with; does nothing when all are present.
#   tools/install-deps.sh        what the build and the tests need
#   tools/install-deps.sh fuzz   the same and clang with libFuzzer (bench/fuzz.sh)
set -euo pipefail
packages=(cmake make g++ pkg-config libaudiofile-dev liblapack-dev libfftw3-dev libgtest-dev parallel libcairo2-dev fonts-dejavu-core pybind11-dev python3-dev python3-numpy groff-base man-db)
if [[ ${1:-} == fuzz ]]; then
  packages+=(clang libclang-rt-dev)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if ((${#missing[@]} == 0)); then
  exit 0
fi
if [[ $(id -u) -ne 0 ]]; then
  echo "install-deps: missing packages: ${missing[*]} (run as root to install them)" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
