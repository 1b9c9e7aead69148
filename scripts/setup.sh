#!/usr/bin/env bash
# Installs every Debian package that the build, the tests, the benchmarks, the
# fuzzers and the plotting tool need. Idempotent: quick when all is present.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libpugixml-dev libzip-dev zlib1g-dev
  libhypre-dev libopenmpi-dev openmpi-bin libhdf5-openmpi-dev
  clang libclang-rt-14-dev
  python3 python3-numpy python3-matplotlib python3-vtk9 python3-h5py
  time
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
