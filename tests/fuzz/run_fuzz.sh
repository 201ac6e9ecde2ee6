#!/usr/bin/env bash
# Runs each fuzz target for N seconds (default 600) on a fresh corpus: the
# receive-dispatch fuzzer starts from recorder traffic, the frame-parser
# fuzzer from nothing. Crash inputs are kept in BUILD_DIR/tests/fuzz/finds.
# Usage: tests/fuzz/run_fuzz.sh BUILD_DIR [SECONDS] [TARGET...]
# Exits non-zero as soon as a target reports a find.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${1:?build folder made with -DKALIX_FUZZ=ON}
seconds=${2:-600}
shift $(($# < 2 ? $# : 2))
targets=("$@")
((${#targets[@]})) || targets=(fuzz_receive_dispatch fuzz_frame_parsers fuzz_archive_reader)

finds="$build/tests/fuzz/finds"
mkdir -p "$finds"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for target in "${targets[@]}"; do
  corpus="$work/$target"
  mkdir -p "$corpus"
  if [[ $target == fuzz_receive_dispatch ]]; then python3 "$here/make_seeds.py" "$corpus"; fi
  if [[ $target == fuzz_archive_reader ]]; then python3 "$here/make_archive_seeds.py" "$corpus"; fi
  echo "[fuzz] $target for ${seconds}s"
  if ! "$build/tests/fuzz/$target" -max_total_time="$seconds" -max_len=70000 \
      -timeout=60 -rss_limit_mb=4096 -print_final_stats=1 \
      -artifact_prefix="$finds/$target-" "$corpus"; then
    echo "[fuzz] $target: FOUND A FAULT, input kept in $finds" >&2
    exit 1
  fi
  echo "[fuzz] $target: no finds"
done
