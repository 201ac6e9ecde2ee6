#!/usr/bin/env bash
# Firmware upload of a 16 MiB file from kalix-cli to kalix-sim over loopback:
# the upload's rate (first progress line to the 100% line) and the client's
# CPU seconds for the whole run, next to the wall time.
#
#   bench/firmware_upload.sh [BUILD_DIR=build] [MIB=16]
set -euo pipefail
build=${1:-build}
mib=${2:-16}
work=$(mktemp -d)
trap 'kill "$sim" 2>/dev/null || true; rm -rf "$work"' EXIT

mkdir -p "$work/Upgrade"
python3 - "$work/Upgrade/kernel.bin" "$mib" <<'PY'
import struct, sys
size = int(sys.argv[2]) << 20
h = bytearray(256)
h[3:8] = b"VBoot"; h[67:72] = b"VBoot"
h[8:12] = struct.pack(">I", 2000)
h[32:38] = b"KERNEL"
with open(sys.argv[1], "wb") as f:
    f.write(h)
    f.write(bytes((i * 7) & 0xFF for i in range(65536)) * ((size - 256) // 65536))
    f.write(bytes((size - 256) % 65536))
PY

"$build/tools/sim/kalix-sim" --port 0 --port-file "$work/port" --quiet \
  --firm MAIN=1000 --firm BOOT=1000 --firm PANEL=1000 --firm KERNEL=1000 --fw-flash-ms 0 > /dev/null &
sim=$!
for _ in $(seq 100); do [[ -s "$work/port" ]] && break; sleep 0.05; done

python3 - "$work" "$build" "$(cat "$work/port")" "$mib" <<'PY'
import subprocess, sys, time
work, build, port, mib = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
cmd = ["/usr/bin/time", "-f", "%e %U %S", "-o", work + "/time",
       build + "/tools/cli/kalix-cli", "firmware", "--host", "127.0.0.1", "--port", port,
       "--user", "admin", "--password", "1234", "--json", "--no-log", "--settle", "0",
       "--dir", work + "/Upgrade"]
p = subprocess.Popen(cmd, stdout=subprocess.PIPE, text=True)
first = last = None
result = ""
for line in p.stdout:
    now = time.monotonic()
    if '"firmware_progress"' in line:
        first = first or now
        if '"percent":100' in line:
            last = now
    if '"firmware_result"' in line:
        result = line.strip()
status = p.wait()
wall, user, sys_ = (float(x) for x in open(work + "/time").read().split())
print(f"exit {status}: {result}")
if first and last and last > first:
    print(f"upload {mib} MiB: {mib / (last - first):.0f} MiB/s ({last - first:.3f} s from the first piece to the last)")
print(f"client CPU {user + sys_:.2f} s (user {user:.2f}, system {sys_:.2f}) over {wall:.2f} s wall for the whole run")
PY
