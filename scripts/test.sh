#!/usr/bin/env bash
# Set up, build, then run the whole test suite.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$here/scripts/setup.sh"
build_dir=${KALIX_BUILD_DIR:-$here/build}
cd "$build_dir"
exec ctest --output-on-failure --timeout 600 -j "$(nproc)"
