#!/usr/bin/env bash
# The main job: set up, build, then run the desktop client's demo: a
# simulated recorder inside the program, 16 cameras live with sound.
#
# With a display the window opens and stays until you quit it (the X
# button at the top right). Without one (a server, CI) the demo runs under
# Xvfb for KALIX_DEMO_SECONDS (default 12) and leaves a screenshot of the
# main window in the build folder. Arguments go to kalix (e.g. --rgb,
# --layout 9, --full-screen).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$here/scripts/setup.sh"
build_dir=${KALIX_BUILD_DIR:-$here/build}
kalix=$build_dir/src/ui/kalix
# Qt wants a private runtime folder; a bare server session has none.
if [[ -z ${XDG_RUNTIME_DIR:-} ]]; then
  export XDG_RUNTIME_DIR=/tmp/runtime-$(id -u)
  mkdir -p -m 0700 "$XDG_RUNTIME_DIR"
fi

if [[ -n ${DISPLAY:-} || -n ${WAYLAND_DISPLAY:-} ]]; then
  exec "$kalix" --demo "$@"
fi
seconds=${KALIX_DEMO_SECONDS:-12}
shot=$build_dir/demo.png
echo "== no display: kalix --demo under Xvfb for $seconds s"
SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy} xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$kalix" --demo --quit-after "$seconds" --screenshot "$shot" "$@"
echo "== the main window as it was just before quitting: $shot"
