#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Asks the bash completion of sarvex-cli what it offers, as bash-completion would.
# Usage: check-completion.sh COMPLETION_FILE SARVEX_CLI
set -u
cli=$2
framework=/usr/share/bash-completion/bash_completion
if [ ! -r "$framework" ]; then
  echo "SKIPPED: bash-completion is not installed ($framework is missing)"
  exit 77
fi
# shellcheck source=/dev/null
source "$framework"
# shellcheck source=/dev/null
source "$1"
cd "$(mktemp -d)" || exit 1
trap 'rm -rf "$PWD"' EXIT
touch one.cue two.CUE out.ccd notes.txt disc.sbi
mkdir sets

failures=0
# expect "WORDS..." "OFFERED..."  (sorted, the last word is the one being completed)
expect()
{
  read -ra COMP_WORDS <<<"$1"
  [[ $1 == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE=$1 COMP_POINT=${#1} COMPREPLY=()
  _sarvex_cli
  local offered
  offered=$(printf '%s\n' "${COMPREPLY[@]}" | sort | xargs)
  if [ "$offered" != "$2" ]; then
    echo "FAIL: \"$1\" offers \"$offered\", expected \"$2\""
    failures=$((failures + 1))
  fi
}
expect "sarvex-cli --f" "--fail-fast --force"
expect "sarvex-cli --no" "--no-cd-text --no-edc-ecc --no-subq-patch"
expect "sarvex-cli " "one.cue sets two.CUE"
expect "sarvex-cli one.cue " "one.cue out.ccd sets two.CUE"
expect "sarvex-cli one.cue two.CUE " "one.cue sets two.CUE"
expect "sarvex-cli --output-dir " "sets"
expect "sarvex-cli -o " "sets"
expect "sarvex-cli -o sets one.cue " "one.cue out.ccd sets two.CUE"
expect "sarvex-cli -j 2 one.cue " "one.cue out.ccd sets two.CUE"
expect "sarvex-cli --subq-patch " "disc.sbi sets"
expect "sarvex-cli --to-cue " "out.ccd sets"
expect "sarvex-cli --to-cue out.ccd " "one.cue sets two.CUE"
# Every long option that --help lists, and no other.
expect "sarvex-cli --" "$("$cli" --help | grep -oE '^  (-., )?--[a-z-]+' | grep -oE -- '--[a-z-]+' | sort | xargs)"
[ "$(complete -p sarvex-cli)" = "complete -F _sarvex_cli sarvex-cli" ] || { echo "FAIL: not registered"; failures=$((failures + 1)); }
((failures == 0)) || echo "(the completion's options and their arguments are in packaging/sarvex-cli.bash)"
exit $((failures > 0))
