#!/usr/bin/env bash
# Whole-conversion benchmark: converts a MODE1/2048 disc and an AUDIO disc of N sectors with
# sarvex-cli and, in the same run, times cp of the converter's own outputs into new files,
# alternating the two. Prints the median times, the throughput, the ratio conversion/cp and the
# peak resident memory of one conversion.
#
# Usage: bench/convert.sh [SECTORS] [RUNS]
#   SECTORS     sectors per disc (default 360000, an 80-minute disc)
#   RUNS        timed runs of each command (default 5)
#   SARVEX_CLI  the converter (default build/src/cli/sarvex-cli beside this script's folder)
#   WORKDIR     scratch folder (default a new folder under ${TMPDIR:-/tmp}, removed at the end)
set -euo pipefail

sectors=${1:-360000}
runs=${2:-5}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cli=${SARVEX_CLI:-$root/build/src/cli/sarvex-cli}
[[ -x $cli ]] || { echo "sarvex-cli not found at $cli (build it, or set SARVEX_CLI)" >&2; exit 1; }
[[ -x /usr/bin/time ]] || { echo "/usr/bin/time (GNU time) is needed for the memory figure" >&2; exit 1; }

if [[ -n ${WORKDIR:-} ]]; then
  work=$WORKDIR
  mkdir -p "$work"
else
  work=$(mktemp -d "${TMPDIR:-/tmp}/sarvex-bench-XXXXXX")
  trap 'rm -rf "$work"' EXIT
fi

# Deterministic data: one pseudo-random mebibyte from a fixed seed, repeated to the size.
make_data() { # path bytes
  python3 - "$1" "$2" <<'EOF'
import random, sys
path, size = sys.argv[1], int(sys.argv[2])
block = random.Random(20240601).randbytes(1 << 20)
with open(path, "wb") as out:
    while size > 0:
        out.write(block[:min(size, len(block))])
        size -= len(block)
EOF
}

now_ns() { date +%s%N; }

median() { # values...
  printf '%s\n' "$@" | sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}

bench_disc() { # name type bytes-per-sector
  local name=$1 type=$2 size=$3
  local dir=$work/${name//\//-}
  mkdir -p "$dir"
  make_data "$dir/DATA.BIN" $((sectors * size))
  printf 'FILE "DATA.BIN" BINARY\n  TRACK 01 %s\n    INDEX 01 00:00:00\n' "$type" >"$dir/disc.cue"

  # One untimed run warms the page cache and gives the peak memory.
  local rss
  rss=$( { /usr/bin/time -v "$cli" --force --quiet "$dir/disc.cue" "$dir/out.ccd" >/dev/null; } 2>&1 |
         awk -F': ' '/Maximum resident set size/ {print $2}')

  local conv=() copy=() t0 i
  for ((i = 0; i < runs; ++i)); do
    rm -f "$dir/out.ccd" "$dir/out.img" "$dir/out.sub"
    t0=$(now_ns)
    "$cli" --force --quiet "$dir/disc.cue" "$dir/out.ccd"
    conv+=($(( $(now_ns) - t0 )))

    rm -f "$dir/copy.img" "$dir/copy.sub"
    t0=$(now_ns)
    cp "$dir/out.img" "$dir/copy.img"
    cp "$dir/out.sub" "$dir/copy.sub"
    copy+=($(( $(now_ns) - t0 )))
  done

  local img_bytes sub_bytes
  img_bytes=$(stat -c %s "$dir/out.img")
  sub_bytes=$(stat -c %s "$dir/out.sub")
  [[ $img_bytes -eq $((sectors * 2352)) && $sub_bytes -eq $((sectors * 96)) ]] ||
    { echo "$name: unexpected output sizes $img_bytes / $sub_bytes" >&2; exit 1; }

  local conv_med copy_med
  conv_med=$(median "${conv[@]}")
  copy_med=$(median "${copy[@]}")
  awk -v name="$name" -v c="$conv_med" -v p="$copy_med" -v bytes=$((img_bytes + sub_bytes)) -v rss="$rss" 'BEGIN {
    printf "%-10s convert %7.3f s (%6.0f MB/s)   cp %7.3f s (%6.0f MB/s)   ratio %.2f   peak RSS %.1f MB\n",
           name, c / 1e9, bytes / (c / 1e9) / 1e6, p / 1e9, bytes / (p / 1e9) / 1e6, c / p, rss / 1024 }'
  rm -rf "$dir"
}

echo "sarvex-cli: $cli"
echo "$sectors sectors per disc ($((sectors * 2352)) bytes .img + $((sectors * 96)) bytes .sub), $runs runs each, medians:"
bench_disc AUDIO AUDIO 2352
bench_disc MODE1/2048 MODE1/2048 2048
