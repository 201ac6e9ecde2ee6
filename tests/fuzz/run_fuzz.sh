#!/usr/bin/env bash
# Runs the receive-dispatch fuzzer for N seconds (default 600) on a fresh
# seed corpus. Usage: tests/fuzz/run_fuzz.sh BUILD_DIR [SECONDS]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${1:?build folder made with -DKALIX_FUZZ=ON}
seconds=${2:-600}
corpus=$(mktemp -d)
python3 "$here/make_seeds.py" "$corpus"
"$build/tests/fuzz/fuzz_receive_dispatch" -max_total_time="$seconds" -max_len=70000 \
  -timeout=60 -rss_limit_mb=4096 -print_final_stats=1 "$corpus"
