#!/usr/bin/env bash
# The main job: set up, build, then log in to a simulated recorder.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$here/scripts/setup.sh"
build_dir=${KALIX_BUILD_DIR:-$here/build}
exec "$here/scripts/demo_login.sh" "$build_dir"
