#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Whole-conversion benchmark: converts an AUDIO disc and a MODE1/2048 disc of N sectors with
# sarvex-cli and, in the same run, times cp of the converter's own outputs into new files. Every
# round runs each command once, alternating discs and commands. Prints the median times, the
# throughput, the ratio conversion/cp, the ratio MODE1/2048 to AUDIO and the peak resident memory of
# one conversion, and the MODE1/2048 conversion once more held to one core (taskset -c 0). Then it
# times --verify of the MODE1/2048 set beside cp of the set to /dev/null and the conversion of the
# disc, alternating too, and prints the ratios. With SARVEX_CLI_BEFORE set, that converter runs in the
# same rounds too, so that before and after come from one run. When the flac encoder is installed, it then converts the same
# length of audio from one FLAC file and times `flac -d -c album.flac > /dev/null` beside it.
#
# Usage: bench/convert.sh [SECTORS] [RUNS]
#   SECTORS            sectors per disc (default 360000, an 80-minute disc)
#   RUNS               timed runs of each command (default 5)
#   SARVEX_CLI         the converter (default build/src/cli/sarvex-cli beside this script's folder)
#   SARVEX_CLI_BEFORE  an earlier converter to time beside it (optional)
#   WORKDIR            scratch folder (default a new folder under ${TMPDIR:-/tmp}, removed at the end)
set -euo pipefail

sectors=${1:-360000}
runs=${2:-5}
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
before=${SARVEX_CLI_BEFORE:-}
[[ -z $before || -x $before ]] || { echo "SARVEX_CLI_BEFORE: $before is not executable" >&2; exit 1; }
[[ -x /usr/bin/time ]] || { echo "/usr/bin/time (GNU time) is needed for the memory figure" >&2; exit 1; }

if [[ -n ${WORKDIR:-} ]]; then
  work=$WORKDIR
  mkdir -p "$work"
else
  work=$(mktemp -d "${TMPDIR:-/tmp}/sarvex-bench-XXXXXX")
  trap 'rm -rf "$work"' EXIT
fi

now_ns() { date +%s%N; }

median() { # values...
  printf '%s\n' "$@" | sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}

declare -A times rss
converters=(after)
[[ -n $before ]] && converters=(before after)
declare -A binary=([after]=$cli [before]=$before)
discs=(AUDIO MODE1/2048)
declare -A sector_size=([AUDIO]=2352 [MODE1/2048]=2048)

folder() { echo "$work/${1//\//-}"; }

for disc in "${discs[@]}"; do
  dir=$(folder "$disc")
  mkdir -p "$dir"
  make_data "$dir/DATA.BIN" $((sectors * sector_size[$disc])) 20240601
  printf 'FILE "DATA.BIN" BINARY\n  TRACK 01 %s\n    INDEX 01 00:00:00\n' "$disc" >"$dir/disc.cue"
  # One untimed run of each converter warms the page cache and gives the peak memory.
  for c in "${converters[@]}"; do
    rss[$c,$disc]=$( { /usr/bin/time -v "${binary[$c]}" --force --quiet "$dir/disc.cue" "$dir/out.ccd" >/dev/null; } 2>&1 |
                     awk -F': ' '/Maximum resident set size/ {print $2}')
  done
  img_bytes=$(stat -c %s "$dir/out.img")
  sub_bytes=$(stat -c %s "$dir/out.sub")
  [[ $img_bytes -eq $((sectors * 2352)) && $sub_bytes -eq $((sectors * 96)) ]] ||
    { echo "$disc: unexpected output sizes $img_bytes / $sub_bytes" >&2; exit 1; }
done

for ((i = 0; i < runs; ++i)); do
  # Every other round the converters swap places, so that neither always runs first.
  order=("${converters[@]}")
  ((i % 2)) && order=($(printf '%s\n' "${converters[@]}" | tac))
  for disc in "${discs[@]}"; do
    dir=$(folder "$disc")
    for c in "${order[@]}"; do
      rm -f "$dir/out.ccd" "$dir/out.img" "$dir/out.sub"
      sync # nor should the writeback of the copy or of another conversion land on this one
      t0=$(now_ns)
      "${binary[$c]}" --force --quiet "$dir/disc.cue" "$dir/out.ccd"
      times[$c,$disc]+=" $(( $(now_ns) - t0 ))"
      # The same conversion held to one core, where composing and writing cannot overlap.
      if [[ $disc == MODE1/2048 ]] && command -v taskset >/dev/null; then
        rm -f "$dir/out.ccd" "$dir/out.img" "$dir/out.sub"
        sync
        t0=$(now_ns)
        taskset -c 0 "${binary[$c]}" --force --quiet "$dir/disc.cue" "$dir/out.ccd"
        times[$c,one]+=" $(( $(now_ns) - t0 ))"
      fi
    done
    rm -f "$dir/copy.img" "$dir/copy.sub"
    sync # the conversions' writeback would otherwise land on the timed copy
    t0=$(now_ns)
    cp "$dir/out.img" "$dir/copy.img"
    cp "$dir/out.sub" "$dir/copy.sub"
    times[cp,$disc]+=" $(( $(now_ns) - t0 ))"
  done
done

bytes=$((sectors * (2352 + 96)))
echo "$sectors sectors per disc ($((sectors * 2352)) bytes .img + $((sectors * 96)) bytes .sub), $runs runs each, medians:"
for c in "${converters[@]}"; do
  echo "${c}: ${binary[$c]}"
  for disc in "${discs[@]}"; do
    # shellcheck disable=SC2086
    conv=$(median ${times[$c,$disc]})
    # shellcheck disable=SC2086
    copy=$(median ${times[cp,$disc]})
    awk -v name="$disc" -v c="$conv" -v p="$copy" -v bytes=$bytes -v rss="${rss[$c,$disc]}" 'BEGIN {
      printf "  %-10s convert %7.3f s (%6.0f MB/s)   cp %7.3f s (%6.0f MB/s)   ratio %.2f   peak RSS %.1f MB\n",
             name, c / 1e9, bytes / (c / 1e9) / 1e6, p / 1e9, bytes / (p / 1e9) / 1e6, c / p, rss / 1024 }'
  done
  # shellcheck disable=SC2086
  awk -v m="$(median ${times[$c,MODE1/2048]})" -v a="$(median ${times[$c,AUDIO]})" \
    -v mc="$(median ${times[cp,MODE1/2048]})" -v ac="$(median ${times[cp,AUDIO]})" 'BEGIN {
      printf "  AUDIO / cp %.2f (goal <= 1.15)   MODE1/2048 / cp %.2f (<= 1.35)   MODE1/2048 / AUDIO conversion %.2f (<= 1.15)\n",
             a / ac, m / mc, m / a }'
  if [[ -n ${times[$c,one]:-} ]]; then
    # shellcheck disable=SC2086
    awk -v o="$(median ${times[$c,one]})" -v mc="$(median ${times[cp,MODE1/2048]})" 'BEGIN {
      printf "  MODE1/2048 on one core (taskset -c 0) %.3f s   / cp %.2f (goal <= 1.9)\n", o / 1e9, o / mc }'
  fi
done

# Verification of the MODE1/2048 set against reading it (cp of .img, .sub and .ccd to /dev/null) and
# against converting the same disc, in alternating rounds. Each timed command starts after a sync, so
# that no writeback of an earlier one lands on it.
bench_verify() {
  local dir c i t0 verifiers=()
  dir=$(folder MODE1/2048)
  for c in "${converters[@]}"; do
    "${binary[$c]}" --help | grep -q -- --verify && verifiers+=("$c")
  done
  ((${#verifiers[@]})) || return 0
  "$cli" --force --quiet "$dir/disc.cue" "$dir/out.ccd"
  declare -A vt=()
  for ((i = 0; i < runs; ++i)); do
    for c in "${verifiers[@]}"; do
      sync
      t0=$(now_ns)
      "${binary[$c]}" --verify --quiet "$dir/out.ccd" || { echo "verify ($c) found problems in $dir/out.ccd" >&2; exit 1; }
      vt[$c]+=" $(( $(now_ns) - t0 ))"
    done
    sync
    t0=$(now_ns)
    cp "$dir/out.img" /dev/null
    cp "$dir/out.sub" /dev/null
    cp "$dir/out.ccd" /dev/null
    vt[cp]+=" $(( $(now_ns) - t0 ))"
    rm -f "$dir/conv.ccd" "$dir/conv.img" "$dir/conv.sub"
    sync
    t0=$(now_ns)
    "$cli" --force --quiet "$dir/disc.cue" "$dir/conv.ccd"
    vt[convert]+=" $(( $(now_ns) - t0 ))"
  done
  rm -f "$dir/conv.ccd" "$dir/conv.img" "$dir/conv.sub"
  local copy conv
  # shellcheck disable=SC2086
  copy=$(median ${vt[cp]})
  # shellcheck disable=SC2086
  conv=$(median ${vt[convert]})
  echo "MODE1/2048 verify, $runs runs each, medians: cp to /dev/null $(awk -v p="$copy" 'BEGIN { printf "%.3f", p / 1e9 }') s," \
    "convert (after) $(awk -v p="$conv" 'BEGIN { printf "%.3f", p / 1e9 }') s"
  for c in "${verifiers[@]}"; do
    # shellcheck disable=SC2086
    awk -v name="$c" -v v="$(median ${vt[$c]})" -v p="$copy" -v c="$conv" 'BEGIN {
      printf "  %-6s verify %7.3f s   verify/cp %.2f (goal <= 1.5)   verify/convert %.2f\n", name, v / 1e9, v / p, v / c }'
  done
}
bench_verify

# An album of tones and noise as one FLAC file: the conversion against decoding alone.
bench_flac() {
  local dir=$work/flac
  mkdir -p "$dir"
  python3 - "$dir/album.wav" "$((sectors * 588))" <<'EOF'
import math, random, struct, sys
path, samples = sys.argv[1], int(sys.argv[2])
rnd = random.Random(20240601)
period = 1 << 18
block = b"".join(struct.pack("<hh", int(9000 * math.sin(i * 0.021)) + rnd.randint(-1500, 1500),
                             int(7000 * math.sin(i * 0.0137)) + rnd.randint(-1500, 1500)) for i in range(period))
with open(path, "wb") as out:
    size = samples * 4
    out.write(b"RIFF" + struct.pack("<I", 36 + size) + b"WAVEfmt " +
              struct.pack("<IHHIIHH", 16, 1, 2, 44100, 176400, 4, 16) + b"data" + struct.pack("<I", size))
    while size > 0:
        out.write(block[:min(size, len(block))])
        size -= len(block)
EOF
  flac -s -f -o "$dir/album.flac" "$dir/album.wav"
  rm -f "$dir/album.wav"
  printf 'FILE "album.flac" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n' >"$dir/disc.cue"
  "$cli" --force --quiet "$dir/disc.cue" "$dir/out.ccd"

  local conv=() dec=() t0 i
  for ((i = 0; i < runs; ++i)); do
    t0=$(now_ns)
    "$cli" --force --quiet "$dir/disc.cue" "$dir/out.ccd"
    conv+=($(( $(now_ns) - t0 )))
    t0=$(now_ns)
    flac -s -d -c "$dir/album.flac" >/dev/null
    dec+=($(( $(now_ns) - t0 )))
  done
  awk -v c="$(median "${conv[@]}")" -v d="$(median "${dec[@]}")" -v bytes="$(stat -c %s "$dir/album.flac")" 'BEGIN {
    printf "%-10s convert %7.3f s   flac -d %7.3f s   ratio %.2f   (%.0f MB of FLAC)\n",
           "FLAC", c / 1e9, d / 1e9, c / d, bytes / 1e6 }'
  rm -rf "$dir"
}
if command -v flac >/dev/null; then
  bench_flac
fi
