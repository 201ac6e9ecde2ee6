#!/usr/bin/env bash
# Starts kalix-sim on a free loopback port (four cameras playing a recorded
# clip, with sound), logs in with kalix-cli, keeps the session for a few
# seconds and closes it, printing the client's events and the messages the
# simulated recorder received; then runs live view with sound for a few
# seconds and leaves the pictures and the sound in the build folder.
set -euo pipefail
build_dir=${1:?build folder}
seconds=${KALIX_DEMO_SECONDS:-12}
work=$(mktemp -d)
trap 'kill "$sim_pid" 2>/dev/null || true; rm -rf "$work"' EXIT

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$build_dir/tools/sim/kalix-sim" --port 0 --port-file "$work/port" \
  --user admin:1234 --traffic "$work/traffic.jsonl" --channels 4 \
  --clip "$here/tests/data/h264/clip704x576.264" --audio &
sim_pid=$!
for _ in $(seq 100); do [[ -s "$work/port" ]] && break; sleep 0.05; done
port=$(cat "$work/port")

echo "== kalix-cli login against kalix-sim on 127.0.0.1:$port (${seconds} s)"
status=0
"$build_dir/tools/cli/kalix-cli" login --host 127.0.0.1 --port "$port" \
  --user ADMIN --password 1234 --seconds "$seconds" --json || status=$?
echo "== kalix-cli exit status: $status"
echo "== what the recorder received"
cat "$work/traffic.jsonl"
[[ $status -eq 0 ]] || exit "$status"

out="$build_dir/demo-live"
echo "== kalix-cli live with the sound of channel 1, 5 s, into $out"
"$build_dir/tools/cli/kalix-cli" live --host 127.0.0.1 --port "$port" \
  --user admin --password 1234 --seconds 5 --out "$out" --audio-channel 0 --no-log
echo "== $(wc -l < "$out/frames.md5") pictures decoded; last pictures: $(ls "$out"/ch*.png | xargs -n1 basename | tr '\n' ' ')"
echo "== sound played: $out/audio.wav ($(stat -c %s "$out/audio.wav") bytes)"
