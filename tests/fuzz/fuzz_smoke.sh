#!/usr/bin/env bash
# The test suite's fuzz smoke run: builds only the fuzz targets with clang
# (no Qt front end) in their own folder, then runs each for a short while.
# Usage: tests/fuzz/fuzz_smoke.sh SOURCE_DIR FUZZ_BUILD_DIR SECONDS
set -euo pipefail
source_dir=${1:?source folder}
build=${2:?build folder for the clang fuzz build}
seconds=${3:?seconds per target}
targets=(fuzz_receive_dispatch fuzz_frame_parsers fuzz_archive_reader)

if ! command -v clang++ >/dev/null; then
  echo "[fuzz] clang++ not found: scripts/setup.sh installs clang and libclang-rt-14-dev" >&2
  exit 1
fi

start=$SECONDS
if [[ ! -f $build/build.ninja ]]; then
  cmake -S "$source_dir" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKALIX_FUZZ=ON -DKALIX_TESTS=OFF -DKALIX_BENCH=OFF >/dev/null
fi
cmake --build "$build" --target "${targets[@]}"
echo "[fuzz] clang build took $((SECONDS - start))s"

"$source_dir/tests/fuzz/run_fuzz.sh" "$build" "$seconds" "${targets[@]}"
echo "[fuzz] smoke run passed: ${targets[*]}, ${seconds}s each, $((SECONDS - start))s in all"
