#!/usr/bin/env bash
# The desktop client's wall under Xvfb with the demo recorder (16 channels
# of 704x576 at 25 fps from the recorded clip): pictures painted per second
# per pane against pictures decoded, the user-interface thread's CPU, the
# whole process's CPU, and the time from a decoder marking a picture to its
# paint (median and p99 per second, from the wall's trace).
#
#   bench/paint_rate.sh [BUILD_DIR=build] [SECONDS=30] [yuv|rgb]
set -euo pipefail
build=${1:-build}
seconds=${2:-30}
path=${3:-yuv}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
extra=()
[[ $path == rgb ]] && extra=(--rgb)

export HOME="$work/home" SDL_AUDIODRIVER=dummy KALIX_TRACE=1
mkdir -p "$HOME"
xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$build/src/ui/kalix" --demo "${extra[@]}" --quit-after "$((seconds + 5))" 2> "$work/trace" &
runner=$!
# The client is the kalix process started under xvfb-run.
for _ in $(seq 100); do
  pid=$(pgrep -n -x kalix || true)
  [[ -n $pid ]] && break
  sleep 0.1
done
sleep 5  # connected, decoders running
ticks() { awk '{print $14 + $15}' "$1"; }
ui0=$(ticks /proc/$pid/task/$pid/stat); all0=$(ticks /proc/$pid/stat); t0=$(date +%s.%N)
sleep "$seconds"
ui1=$(ticks /proc/$pid/task/$pid/stat); all1=$(ticks /proc/$pid/stat); t1=$(date +%s.%N)
wait "$runner" || true
hz=$(getconf CLK_TCK)

echo "path $path, 16 panes 704x576 at 25 fps, measured over $seconds s"
grep -o 'draw path: .*' "$work/trace" | head -1
awk -v hz="$hz" -v ui="$((ui1 - ui0))" -v all="$((all1 - all0))" -v t0="$t0" -v t1="$t1" 'BEGIN {
  s = t1 - t0
  printf "CPU: user-interface thread %.3f s/s, whole process %.3f s/s\n", ui / hz / s, all / hz / s }'
# Rate lines: skip the first 6 (start-up), average the rest per pane.
grep 'painted/decoded/all draws per second' "$work/trace" | tail -n +4 | awk '{
  for (i = 7; i <= NF; ++i) { split($i, a, "[:/]"); painted[a[1]] += a[2]; decoded[a[1]] += a[3]; draws[a[1]] += a[4] }
  n++ }
  END { if (n == 0) { print "no rate lines (trace off?)"; exit }
    min = 1e9; sum = 0; dsum = 0; all = 0
    for (c = 1; c <= 16; ++c) { p = painted[c] / n; sum += p; dsum += decoded[c] / n; all += draws[c] / n; if (p < min) min = p }
    printf "new pictures painted per pane per second: mean %.1f, lowest pane %.1f; decoded mean %.1f; all draws %.1f (%d periods)\n", sum / 16, min, dsum / 16, all / 16, n }'
median() { sort -n | awk '{ v[NR] = $1 } END { if (NR) print v[int((NR + 1) / 2)]; else print "-" }'; }
delays=$(grep 'decode to paint' "$work/trace" | tail -n +4 || true)
echo "decode to paint: median of the 2-second medians $(awk '{print $6}' <<< "$delays" | median) ms," \
     "median of the 2-second p99s $(awk '{print $9}' <<< "$delays" | median) ms"
