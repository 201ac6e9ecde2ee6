#!/usr/bin/env bash
# Installs the Debian packages the project needs (only those missing), then
# configures and builds. Safe to run again: it checks before it installs.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${KALIX_BUILD_DIR:-$here/build}

packages=(
  # build
  g++ cmake ninja-build pkg-config
  qt6-base-dev libqt6opengl6-dev
  libavcodec-dev libavformat-dev libavutil-dev libswscale-dev
  libsdl2-dev libasound2-dev libjpeg62-turbo-dev libtiff-dev zlib1g-dev
  libgtest-dev libbenchmark-dev
  # the fuzz smoke run of the test suite: clang, and its runtime with libFuzzer
  # and the sanitizers (only recommended by clang, so named here)
  clang libclang-rt-14-dev
  # tests and screenshots
  xvfb xauth libgl1-mesa-dri imagemagick ffmpeg poppler-utils fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "[setup] installing: ${missing[*]}"
  sudo_cmd=()
  [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "[setup] all Debian packages present"
fi

cmake -S "$here" -B "$build_dir" -G Ninja \
  -DCMAKE_BUILD_TYPE="${KALIX_BUILD_TYPE:-RelWithDebInfo}" \
  ${KALIX_CMAKE_ARGS:-}
cmake --build "$build_dir" --parallel "$(nproc)"
