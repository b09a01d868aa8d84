#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Export benchmark: an 80-minute audio set (360,000 sectors in four tracks, made once by sarvex-cli)
# exported with --to-cue, side by side with cp of its .img into the same folder, alternating runs.
# Both are timed as they return and as "on the medium" (followed by sync); the export syncs its files
# itself. Prints the medians and the ratio.
#
# Usage: bench/export.sh [RUNS]
#   RUNS        timed runs of each (default 5)
#   SARVEX_CLI  the converter (default build/src/cli/sarvex-cli beside this script's folder)
set -euo pipefail

runs=${1:-5}
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/sarvex-export-XXXXXX")
trap 'rm -rf "$work"' EXIT

sectors=360000
make_data "$work/songs.bin" $((sectors * 2352)) 20261208
printf 'FILE songs.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 00 20:00:00\nINDEX 01 20:02:00\nTRACK 03 AUDIO\nINDEX 01 40:00:00\nTRACK 04 AUDIO\nINDEX 01 60:00:00\n' >"$work/disc.cue"
"$cli" --quiet "$work/disc.cue"
rm "$work/songs.bin"

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
seconds() { awk -v ns=$(($2 - $1)) 'BEGIN {printf "%.2f", ns / 1e9}'; }
cp_times="" cp_sync_times="" export_times=""
for ((run = 1; run <= runs; run++)); do
  rm -rf "$work/copy.img" "$work/out" && mkdir "$work/out" && sync
  start=$(date +%s%N)
  cp "$work/disc.img" "$work/copy.img"
  middle=$(date +%s%N)
  sync "$work/copy.img"
  end=$(date +%s%N)
  cp_times+="$(seconds "$start" "$middle") " cp_sync_times+="$(seconds "$start" "$end") "
  rm -f "$work/copy.img" && sync
  start=$(date +%s%N)
  "$cli" --quiet --to-cue "$work/disc.ccd" "$work/out/disc.cue"
  end=$(date +%s%N)
  export_times+="$(seconds "$start" "$end") "
done
cp_m=$(tr ' ' '\n' <<<"$cp_times" | grep . | median)
cp_sync_m=$(tr ' ' '\n' <<<"$cp_sync_times" | grep . | median)
export_m=$(tr ' ' '\n' <<<"$export_times" | grep . | median)
echo "80-minute set ($((sectors * 2352 / 1000000)) MB .img), median of $runs runs:"
echo "  cp: ${cp_m} s   cp + sync: ${cp_sync_m} s   --to-cue: ${export_m} s"
echo "  --to-cue / cp: $(awk -v a="$export_m" -v b="$cp_m" 'BEGIN {printf "%.2f", a / b}')x" \
     "  --to-cue / (cp + sync): $(awk -v a="$export_m" -v b="$cp_sync_m" 'BEGIN {printf "%.2f", a / b}')x"
echo "  load average: $(cut -d' ' -f1-3 /proc/loadavg), cores: $(nproc)"
