#!/usr/bin/env bash
# Download from kalix-sim on loopback through kalix-cli download, against a
# dd-style sequential write of the same number of bytes measured in the same
# run on the same file system. Also the same download into memory (/dev/shm),
# which is as fast as the simulator sends: the recorder's send rate.
#
#   bench/download_rate.sh [BUILD_DIR=build] [MINUTES=4] [CHANNELS=16] [CLIP=tests/data/h264/clip704x576.264] [OUT_BASE=/var/tmp]
set -euo pipefail
build=${1:-build}
minutes=${2:-4}
channels=${3:-16}
clip=${4:-tests/data/h264/clip704x576.264}
base=${5:-/var/tmp}
work=$(mktemp -d "$base/kalix-download-bench.XXXXXX")
shm=$(mktemp -d /dev/shm/kalix-download-bench.XXXXXX)
trap 'kill "$sim" 2>/dev/null || true; rm -rf "$work" "$shm"' EXIT

start=1714557600  # 2024-05-01 10:00:00
end=$(( start + minutes * 60 ))
: > "$work/schedule.txt"
for c in $(seq 0 $(( channels - 1 ))); do echo "rec $c $start $end" >> "$work/schedule.txt"; done
"$build/tools/sim/kalix-sim" --port 0 --port-file "$work/port" --quiet --video --channels "$channels" \
  --fps 25 --clip "$clip" --recordings "$work/schedule.txt" > /dev/null &
sim=$!
for _ in $(seq 100); do [[ -s "$work/port" ]] && break; sleep 0.05; done
mask=$(printf '0x%x' $(( (1 << channels) - 1 )))

download() {  # OUT: seconds, bytes
  local out=$1 t0 t1
  t0=$(date +%s.%N)
  "$build/tools/cli/kalix-cli" download --host 127.0.0.1 --port "$(cat "$work/port")" --user admin \
    --password 1234 --json --no-log --channels "$mask" --from "$start" --to "$(( end - 1 ))" --out "$out" \
    > "$out.log"
  sync -f "$out"
  t1=$(date +%s.%N)
  grep -o '"download_end","reason":"done","bytes":[0-9]*' "$out.log" | grep -o '[0-9]*$' > "$out.bytes"
  echo "$t0 $t1" > "$out.time"
}

download "$shm/mem"
download "$work/disk"
bytes=$(cat "$work/disk.bytes")
mib=$(( (bytes >> 20) + 1 ))
t0=$(date +%s.%N)
dd if=/dev/zero of="$work/dd" bs=1M count="$mib" conv=fdatasync status=none
t1=$(date +%s.%N)
echo "$t0 $t1" > "$work/dd.time"

rate() { awk -v b="$1" -v s="$(cut -d' ' -f1 "$2")" -v e="$(cut -d' ' -f2 "$2")" 'BEGIN { printf "%.1f", b / 1048576 / (e - s) }'; }
disk=$(rate "$bytes" "$work/disk.time")
mem=$(rate "$(cat "$shm/mem.bytes")" "$shm/mem.time")
dd_rate=$(rate $(( mib << 20 )) "$work/dd.time")
echo "range: $channels channels x $minutes min of $(basename "$clip") at 25 fps, $bytes bytes downloaded"
echo "download to $base (incl. final sync): $disk MiB/s"
echo "download to /dev/shm (simulator's send rate): $mem MiB/s"
echo "dd sequential write to $base (fdatasync): $dd_rate MiB/s"
awk -v d="$disk" -v m="$mem" -v b="$dd_rate" 'BEGIN {
  ref = (m < b) ? m : b;
  printf "download / min(dd, send rate) = %.0f %%\n", 100 * d / ref }'
