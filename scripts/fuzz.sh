#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, in build-fuzz/ or $FUZZ_BUILD_DIR) and
# runs each for the given number of seconds (default 60), one after the other.
#   scripts/fuzz.sh [seconds] [target ...]
# Targets: fuzz_amfread fuzz_stl fuzz_amf_converter fuzz_arguments (default all).
# New inputs collect in <build>/corpus/<target>; the seeds in tests/fuzz/corpus
# are only read. A crash, leak, timeout or sanitizer report leaves the input in
# <build>/findings/ and makes the script exit non-zero.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(fuzz_amfread fuzz_stl fuzz_amf_converter fuzz_arguments)
fi
build_dir=${FUZZ_BUILD_DIR:-build-fuzz}

# The same lock as every other build on this machine: builds never overlap.
lock=(flock /tmp/plasmabox-build.lock)
if [ ! -f "$build_dir/build.ninja" ]; then
  "${lock[@]}" cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DPLASMABOX_FUZZ=ON -DPLASMABOX_TESTS=OFF -DPLASMABOX_BENCH=OFF >/dev/null
fi
"${lock[@]}" cmake --build "$build_dir" -j2 --target "${targets[@]}"

mkdir -p "$build_dir/findings"
status=0
for target in "${targets[@]}"; do
  seeds=tests/fuzz/corpus/${target#fuzz_}
  work=$build_dir/corpus/${target#fuzz_}
  mkdir -p "$work"
  echo "fuzz.sh: $target for ${seconds}s"
  # One process, lowest priority: the machine's two cores are shared.
  if ! nice -n 19 "$build_dir/tests/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -max_len=8192 -dict=tests/fuzz/amf.dict -print_final_stats=1 -artifact_prefix="$build_dir/findings/$target-" \
      "$work" "$seeds" >"$build_dir/$target.log" 2>&1; then
    echo "fuzz.sh: $target FOUND A PROBLEM, see $build_dir/$target.log and $build_dir/findings/" >&2
    grep -E '^(==[0-9]+==ERROR|SUMMARY|.*runtime error)' "$build_dir/$target.log" | head -5 >&2 || true
    status=1
  else
    grep -E '^stat::number_of_executed_units|^#[0-9]+ *DONE' "$build_dir/$target.log" | tail -2 || true
  fi
done
exit $status
