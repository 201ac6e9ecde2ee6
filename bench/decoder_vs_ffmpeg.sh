#!/usr/bin/env bash
# Frames per second of FFmpeg's own single-threaded decode of a clip against
# the client's decoder path (queue -> ChannelDecoder -> wall buffer) on the
# same clip, in YUV mode and in RGB mode (line doubling + RGB conversion).
#
#   bench/decoder_vs_ffmpeg.sh [BUILD_DIR] [CLIP] [REPEAT]
#
# BUILD_DIR (default build-rel) is configured as a Release build when it has
# no bench_decoder_path yet. CLIP (default the 704x576 test clip) is repeated
# REPEAT times (default 200) into one stream so both sides decode long enough
# to time; each figure is the best of three runs.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-rel}
clip=${2:-tests/data/h264/clip704x576.264}
repeat=${3:-200}
bench="$build/bench/bench_decoder_path"

if [[ ! -x $bench ]]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKALIX_TESTS=OFF >/dev/null
fi
ninja -C "$build" -j2 bench_decoder_path >/dev/null

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for ((i = 0; i < repeat; i++)); do cat "$clip"; done >"$tmp/clip.264"
frames=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames \
  -of csv=p=0 "$tmp/clip.264")

best_ffmpeg=0
for _ in 1 2 3; do
  rtime=$(ffmpeg -hide_banner -nostdin -benchmark -threads 1 -i "$tmp/clip.264" -f null - 2>&1 |
    sed -n 's/.*rtime=\([0-9.]*\)s.*/\1/p')
  best_ffmpeg=$(awk -v f="$frames" -v t="$rtime" -v b="$best_ffmpeg" 'BEGIN { r = f / t; print (r > b ? r : b) }')
done

ours() {
  local best=0 fps
  for _ in 1 2 3; do
    fps=$("$bench" "$tmp/clip.264" "$1" 1 | sed -n 's/.*: \([0-9.]*\) fps.*/\1/p')
    best=$(awk -v a="$fps" -v b="$best" 'BEGIN { print (a > b ? a : b) }')
  done
  echo "$best"
}
yuv=$(ours yuv)
rgb=$(ours rgb)

echo "clip: $clip x $repeat = $frames frames"
awk -v f="$best_ffmpeg" -v y="$yuv" -v r="$rgb" 'BEGIN {
  printf "ffmpeg -threads 1 -f null:   %8.1f fps\n", f
  printf "decoder path, YUV mode:      %8.1f fps  (%.2f x ffmpeg)\n", y, y / f
  printf "decoder path, RGB mode:      %8.1f fps  (%.2f x ffmpeg)\n", r, r / f
}'
