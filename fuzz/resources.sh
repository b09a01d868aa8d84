#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Resource figures that no unit test should time: the peak resident size of sarvex-cli converting
# a one-minute and a 74-minute disc, and the load time of cue sheets from 1 MB to 64 MB.
#
#   fuzz/resources.sh [SARVEX_CLI]     default: build/src/cli/sarvex-cli
#
# Needs python3; the load-time table needs libbenchmark-dev (built into $FUZZ_BUILD).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
CLI=${1:-$ROOT/build/src/cli/sarvex-cli}
BUILD=${FUZZ_BUILD:-$ROOT/build-fuzz}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/sarvex-resources-XXXXXX")
trap 'rm -rf "$WORK"' EXIT

[ -x "$CLI" ] || { echo "resources: $CLI is not built" >&2; exit 2; }

echo "Peak resident size of sarvex-cli (cooked MODE1/2048 data: every sector gets EDC and ECC):"
for sectors in 4500 333000; do
  # Sparse input: the disc costs no disk space to make and no time to read.
  truncate -s $((sectors * 2048)) "$WORK/DATA.BIN"
  printf 'FILE "DATA.BIN" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 00:00:00\n' >"$WORK/disc.cue"
  python3 - "$CLI" "$WORK/disc.cue" "$WORK/disc.ccd" "$sectors" <<'PY'
import os, subprocess, sys, time
cli, cue, ccd, sectors = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
start = time.monotonic()
child = subprocess.Popen([cli, '--quiet', '--force', cue, ccd])
_, status, usage = os.wait4(child.pid, 0)
elapsed = time.monotonic() - start
img = os.path.getsize(ccd[:-4] + '.img')
print(f'  {sectors:7d} sectors ({img / 2**20:6.1f} MiB .img): peak RSS {usage.ru_maxrss / 1024:6.1f} MiB, '
      f'{elapsed:5.1f} s, exit {os.waitstatus_to_exitcode(status)}')
if os.waitstatus_to_exitcode(status) != 0 or img != sectors * 2352:
    sys.exit(1)
PY
  rm -f "$WORK"/disc.img "$WORK"/disc.sub
done

echo
echo "Load time against sheet size (99 tracks x 99 indexes, the rest comment lines):"
cmake -S "$ROOT/fuzz" -B "$BUILD" -DCMAKE_CXX_COMPILER="${CXX:-clang++}" >/dev/null
if cmake --build "$BUILD" --target load_scaling -j"$(nproc)" >/dev/null 2>&1; then
  "$BUILD/load_scaling" --benchmark_repetitions=1
else
  echo "  (load_scaling not built: libbenchmark-dev missing)"
fi
