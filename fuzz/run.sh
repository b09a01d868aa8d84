#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the fuzz targets and runs each one for a while; fails when any of them finds a crash,
# a leak, a hang or a broken invariant.
#
#   fuzz/run.sh [SECONDS] [TARGET...]      SECONDS per target (default 60); targets default to all
#
# Environment: FUZZ_BUILD (build folder, default build-fuzz), FUZZ_PARALLEL=1 to run the targets
# side by side, FUZZ_NICE (niceness, default 0), CXX (default clang++).
# The seed corpora in fuzz/corpus/ are never modified: each target grows its own copy in
# $FUZZ_BUILD/corpus/<target>; findings land in $FUZZ_BUILD/artifacts/<target>/.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
SECONDS_PER_TARGET=${1:-60}
shift || true
TARGETS=("$@")
[ ${#TARGETS[@]} -eq 0 ] && TARGETS=(cue_sheet wave_file cd_text subq_patch ccd_file audio_source)
BUILD=${FUZZ_BUILD:-$ROOT/build-fuzz}
case "$BUILD" in /*) ;; *) BUILD=$ROOT/$BUILD ;; esac
CXX=${CXX:-clang++}
NICE=${FUZZ_NICE:-0}

if ! command -v "$CXX" >/dev/null; then
  echo "fuzz: $CXX not found (install clang and libclang-rt-14-dev)" >&2
  exit 2
fi

cmake -S "$ROOT/fuzz" -B "$BUILD" -DCMAKE_CXX_COMPILER="$CXX" >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target $(printf 'fuzz_%s ' "${TARGETS[@]}") >/dev/null

extra_flags() {
  [ -f "$ROOT/fuzz/$1.dict" ] && echo "-dict=$ROOT/fuzz/$1.dict"
  return 0
}

max_len() {
  case "$1" in
    cue_sheet) echo 8192 ;;
    wave_file) echo 16384 ;;
    cd_text) echo 4096 ;;
    subq_patch) echo 2048 ;;
    ccd_file) echo 16384 ;;
    audio_source) echo 16384 ;;
  esac
}

run_target() {
  local target=$1
  local corpus=$BUILD/corpus/$target artifacts=$BUILD/artifacts/$target log=$BUILD/logs/$target.log
  mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
  cp -n "$ROOT/fuzz/corpus/$target"/* "$corpus"/ 2>/dev/null || true
  local status=0
  # Leak checks stay on: a descriptor or buffer lost per input would show up here first.
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    nice -n "$NICE" "$BUILD/fuzz_$target" "$corpus" \
      -max_total_time="$SECONDS_PER_TARGET" -timeout=10 -rss_limit_mb=2048 -max_len="$(max_len "$target")" \
      -print_final_stats=1 -artifact_prefix="$artifacts/" $(extra_flags "$target") >"$log" 2>&1 || status=$?
  local stats
  stats=$(grep -E '^#[0-9]+[[:space:]].*cov: ' "$log" | tail -1 || true)
  local execs
  execs=$(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}' || true)
  if [ "$status" -ne 0 ] || [ -n "$(ls -A "$artifacts")" ]; then
    echo "fuzz: $target FAILED (exit $status); log: $log" >&2
    grep -E 'ERROR|invariant broken|SUMMARY|Test unit written' "$log" | head -20 >&2 || true
    return 1
  fi
  echo "fuzz: $target ok: ${execs:-?} executions in ${SECONDS_PER_TARGET} s; ${stats:-no final stats}"
}

failed=0
if [ "${FUZZ_PARALLEL:-0}" = 1 ]; then
  pids=()
  for t in "${TARGETS[@]}"; do run_target "$t" & pids+=($!); done
  for p in "${pids[@]}"; do wait "$p" || failed=1; done
else
  for t in "${TARGETS[@]}"; do run_target "$t" || failed=1; done
fi
exit $failed
