#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the normal
# build, then the same tests under AddressSanitizer and UndefinedBehaviorSanitizer
# (build-asan/), then each fuzz target for a short while (build-fuzz/).
# Exits non-zero on any failure or sanitizer report.
#   FUZZ_SECONDS=0 scripts/test.sh   skips the fuzzing.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
# Warnings are errors here, so that a warning never lands unnoticed.
flock /tmp/plasmabox-build.lock scripts/build.sh -DPLASMABOX_WERROR=ON
(cd build && ctest --output-on-failure -j2 --timeout 600)

scripts/sanitize.sh

fuzz_seconds=${FUZZ_SECONDS:-30}
if [ "$fuzz_seconds" -gt 0 ]; then
  scripts/fuzz.sh "$fuzz_seconds"
fi
