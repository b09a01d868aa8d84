#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a GUI test binary on a fresh Xvfb display with openbox managing its windows.
# Exits 77 (skipped) when the X server, the window manager or xprop is not installed.
test_binary="$1"
shift
for tool in xvfb-run Xvfb openbox xprop; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIPPED: $tool is not installed (Debian packages xvfb, openbox, x11-utils)"
        exit 77
    fi
done
exec xvfb-run -a -s "-screen 0 1280x800x24 -dpi 96" sh -c '
    openbox --sm-disable >/dev/null 2>&1 &
    wm=$!
    # Wait until the window manager has taken the screen.
    i=0
    while [ $i -lt 50 ] && ! xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; do
        sleep 0.1; i=$((i + 1))
    done
    "$0" "$@"
    status=$?
    kill $wm 2>/dev/null
    exit $status' "$test_binary" "$@"
