#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What `make run` does where there is no display: it must end by itself, exit 0, and have
# converted the example disc into the build folder.
# Usage: check-headless-run.sh SOURCE_FOLDER BUILD_FOLDER
set -u
source=$1 build=$2
grep -q 'examples/show.sh $(BUILD)' "$source/Makefile" || { echo "FAIL: make run does not call examples/show.sh"; exit 1; }
rm -f "$build"/examples/demo.{ccd,img,sub} "$build"/examples/make-run/demo.{ccd,img,sub}
output=$(env -u DISPLAY -u WAYLAND_DISPLAY timeout 60 "$source/examples/show.sh" "$build" 2>&1)
status=$?
echo "$output"
failures=0
[ $status -eq 0 ] || { echo "FAIL: exit $status"; failures=1; }
for text in "the desktop program sarvex needs one" "Total Disc Time      : 00:16:00" \
    "Operation was successfull." "1050 sectors written to \"make-run/demo.img\" and \"make-run/demo.sub\"." \
    " demo.ccd" " demo.img" " demo.sub"; do
  grep -qF -- "$text" <<<"$output" || { echo "FAIL: the output lacks \"$text\""; failures=1; }
done
[ "$(stat -c %s "$build/examples/make-run/demo.img")" = $((1050 * 2352)) ] || { echo "FAIL: demo.img"; failures=1; }
[ "$(stat -c %s "$build/examples/make-run/demo.sub")" = $((1050 * 96)) ] || { echo "FAIL: demo.sub"; failures=1; }
# The README's first conversion, beside the sheets, must not find the set in its way.
[ ! -e "$build/examples/demo.ccd" ] || { echo "FAIL: the set lies where the README converts"; failures=1; }
[ ! -e "$source/examples/demo.img" ] || { echo "FAIL: written into the source tree"; failures=1; }
exit $failures
