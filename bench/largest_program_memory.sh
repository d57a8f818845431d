#!/usr/bin/env bash
# The peak memory of the editor and of the batch tool for the largest
# program a file may hold: a 16 MiB .tpg of the default table, init, grow_s,
# grow_r, first and 16.7 million "^" (67 million output quads). The batch
# tool runs it under /usr/bin/time; the editor loads it on a private Xvfb
# and is watched until its peak has stayed put for a while after its first
# run, then closed. Prints both peaks and their ratio.
# Takes several minutes and about 14 GB of memory.
#   bench/largest_program_memory.sh [BUILD_DIR]   (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
work=$(mktemp -d)
xvfb=""
editor=""
cleanup() {
  [ -z "$editor" ] || kill "$editor" 2>/dev/null || true
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

program=$work/largest.tpg
table=423  # the default command table: 78 cells and their separators
head -c $table examples/chain.tpg > "$program"
printf '\001\006\004\002' >> "$program"
head -c $((16 * 1024 * 1024 - table - 4)) /dev/zero | tr '\0' '\021' >> "$program"

/usr/bin/time -f %M -o "$work/cli" "$build/dozu-cli" run "$program"
cli_kb=$(tail -1 "$work/cli")

display=:$((200 + $$ % 500))
Xvfb "$display" -screen 0 1280x1024x24 > /dev/null 2>&1 &
xvfb=$!
sleep 1
DISPLAY=$display "$build/app/dozu" "$program" > /dev/null 2>&1 &
editor=$!
# The peak is taken once it has held for a minute after reaching most of
# the batch tool's: the run is over and whatever follows it has settled.
peak=0
since=$SECONDS
while kill -0 "$editor" 2>/dev/null; do
  now=$(awk '/VmHWM/ {print $2}' "/proc/$editor/status")
  if [ "$now" -gt "$peak" ]; then
    peak=$now
    since=$SECONDS
  elif [ "$peak" -gt $((cli_kb / 2)) ] && [ $((SECONDS - since)) -ge 60 ]; then
    break
  fi
  sleep 2
done
awk -v e="$peak" -v c="$cli_kb" 'BEGIN {
  printf "batch tool peak %.2f GiB, editor peak %.2f GiB, editor / batch tool %.3f\n",
         c / 1048576, e / 1048576, e / c }'
