#!/usr/bin/env bash
# 16 channels of 704x576 at 25 fps from kalix-sim through kalix-cli live:
# pictures sent and decoded, the client's CPU seconds per wall second and its
# peak resident memory. Latency is measured in-process by bench_live_latency.
#
#   bench/live_load.sh [BUILD_DIR=build] [SECONDS=60] [CHANNELS=16] [SIZE=704x576] [FPS=25] [EXTRA_SIM_ARGS...]
set -euo pipefail
build=${1:-build}
seconds=${2:-60}
channels=${3:-16}
size=${4:-704x576}
fps=${5:-25}
shift $(( $# < 5 ? $# : 5 ))
work=$(mktemp -d)
trap 'kill "$sim" 2>/dev/null || true; rm -rf "$work"' EXIT

"$build/tools/sim/kalix-sim" --port 0 --port-file "$work/port" --quiet --video \
  --channels "$channels" --size "$size" --fps "$fps" --traffic "$work/traffic.jsonl" "$@" > /dev/null &
sim=$!
for _ in $(seq 100); do [[ -s "$work/port" ]] && break; sleep 0.05; done

/usr/bin/time -f '%e %U %S %M' -o "$work/time" \
  "$build/tools/cli/kalix-cli" live --host 127.0.0.1 --port "$(cat "$work/port")" \
  --user admin --password 1234 --seconds "$seconds" --out "$work/out" --no-log > /dev/null
kill "$sim"; wait "$sim" 2>/dev/null || true

read -r wall user sys rss_kib < "$work/time"
sent=$(grep -o '[0-9]* units sent' "$work/traffic.jsonl" | awk '{s+=$1} END {print s+0}')
decoded=$(wc -l < "$work/out/frames.md5")
echo "channels $channels, $size at $fps fps, $seconds s"
echo "units sent $sent, pictures decoded $decoded"
awk -v w="$wall" -v u="$user" -v s="$sys" -v r="$rss_kib" 'BEGIN {
  printf "client CPU %.2f s per wall second (user %.1f s, system %.1f s over %.1f s)\n", (u+s)/w, u, s, w;
  printf "client peak RSS %.1f MiB\n", r/1024 }'
