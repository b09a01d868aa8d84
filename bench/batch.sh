#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Batch benchmark: converts 20 sheets of N sectors each (MODE1/2048, or DISC) in one sarvex-cli call with
# -j 1 and with -j 2, alternating, into fresh output folders. Prints the median wall time of each
# and the speed-up.
#
# Usage: bench/batch.sh [SECTORS] [RUNS]
#   SECTORS     sectors per sheet (default 40000)
#   RUNS        timed runs of each setting (default 3)
#   SARVEX_CLI  the converter (default build/src/cli/sarvex-cli beside this script's folder)
#   DISC        the track type of the sheets: MODE1/2048 (default) or AUDIO
set -euo pipefail

sectors=${1:-40000}
disc=${DISC:-MODE1/2048}
case $disc in
  MODE1/2048) sector_size=2048 ;;
  AUDIO) sector_size=2352 ;;
  *) echo "DISC must be MODE1/2048 or AUDIO" >&2; exit 1 ;;
esac
runs=${2:-3}
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/sarvex-batch-XXXXXX")
trap 'rm -rf "$work"' EXIT

# One data file of non-zero sectors shared by the 20 sheets, so that any EDC/ECC work is real.
make_data "$work/data.bin" $((sectors * sector_size)) 20261207
sheets=()
for i in $(seq -w 1 20); do
  printf 'FILE "data.bin" BINARY\n  TRACK 01 %s\n    INDEX 01 00:00:00\n' "$disc" >"$work/disc$i.cue"
  sheets+=("$work/disc$i.cue")
done

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
declare -A times
for ((run = 1; run <= runs; run++)); do
  for jobs in 1 2; do
    rm -rf "$work/out" && mkdir "$work/out"
    sync
    start=$(date +%s%N)
    "$cli" --quiet -j "$jobs" --output-dir "$work/out" "${sheets[@]}"
    end=$(date +%s%N)
    times[$jobs]+="$(awk -v ns=$((end - start)) 'BEGIN {printf "%.2f", ns / 1e9}') "
  done
done
one=$(tr ' ' '\n' <<<"${times[1]}" | grep . | median)
two=$(tr ' ' '\n' <<<"${times[2]}" | grep . | median)
mb=$((20 * sectors * 2448 / 1000000))
echo "20 $disc sheets of $sectors sectors ($mb MB written per batch), median of $runs runs:"
echo "  -j 1: ${one} s   -j 2: ${two} s   speed-up: $(awk -v a="$one" -v b="$two" 'BEGIN {printf "%.2f", a / b}')x"
echo "  load average: $(cut -d' ' -f1-3 /proc/loadavg), cores: $(nproc)"
