#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What `make run` shows where there is no display: sarvex-cli converting the example disc.
# Usage: examples/show.sh BUILD_FOLDER
set -euo pipefail
build=$(cd "${1:?usage: show.sh BUILD_FOLDER}" && pwd)
cli="$build/src/cli/sarvex-cli"
cd "$build/examples"
echo "No display found (DISPLAY and WAYLAND_DISPLAY are unset): the desktop program sarvex needs one."
echo "Showing the command-line tool on the example disc instead, in $build/examples:"
echo
echo "\$ sarvex-cli --layout demo.cue"
"$cli" --layout demo.cue
echo
# The set goes into a folder of its own, where the README's steps beside the sheets do not meet it.
mkdir -p make-run
echo "\$ sarvex-cli --force -o make-run demo.cue"
"$cli" --force -o make-run demo.cue
echo
echo "\$ ls -l make-run"
ls -l make-run
