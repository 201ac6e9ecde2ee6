#!/usr/bin/env bash
# Starts kalix-sim on a free loopback port, logs in with kalix-cli, keeps the
# session for a few seconds and closes it. Prints the client's events and the
# messages the simulated recorder received.
set -euo pipefail
build_dir=${1:?build folder}
seconds=${KALIX_DEMO_SECONDS:-12}
work=$(mktemp -d)
trap 'kill "$sim_pid" 2>/dev/null || true; rm -rf "$work"' EXIT

"$build_dir/tools/sim/kalix-sim" --port 0 --port-file "$work/port" \
  --user admin:1234 --traffic "$work/traffic.jsonl" &
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
exit "$status"
