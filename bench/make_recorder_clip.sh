#!/usr/bin/env bash
# Writes a 720x576 clip at a recorder's usual bit rate (4 Mbit/s, 10 s,
# noisy moving pattern), encoded the way the client's decoder path takes it
# (Baseline, CAVLC, one reference frame, one slice, constrained intra
# prediction, chroma QP offset 2), for bench/decoder_vs_ffmpeg.sh:
#
#   bench/make_recorder_clip.sh /tmp/clip720x576.264
#   bench/decoder_vs_ffmpeg.sh build-rel /tmp/clip720x576.264 8
set -euo pipefail
out=${1:-/tmp/clip720x576.264}
ffmpeg -hide_banner -loglevel error -y -f lavfi -i "testsrc2=size=720x576:rate=25,noise=alls=10:allf=t" \
  -frames:v 250 -c:v libx264 -profile:v baseline -preset veryfast -g 25 -bf 0 -b:v 4M \
  -x264-params "ref=1:psy=0:scenecut=0:constrained-intra=1:chroma-qp-offset=2:threads=1:slices=1" \
  -pix_fmt yuv420p "$out"
echo "$out"
