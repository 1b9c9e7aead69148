#!/usr/bin/env bash
# Records the reference outputs of the seeded run (tests/driver/reference) with
# the program as it is now. Run it only when a change of the outputs is
# intended, and say in the commit which change and why.
set -euo pipefail
cd "$(dirname "$0")/.."
flock /tmp/plasmabox-build.lock scripts/build.sh
PLASMABOX_RECORD_REFERENCE="$PWD/tests/driver/reference" \
  build/tests/test_driver --gtest_filter='ReferenceRun.SeededRunReproducesTheStoredOutputs'
ls -l tests/driver/reference tests/driver/reference/vti
