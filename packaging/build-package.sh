#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package as the distribution builds its own: in a folder of its own, with the
# hardening flags of dpkg-buildflags (fortify, stack protector, PIE, relro and bind now), so the
# developers' build folders keep their flags and their compiler cache.
# The maintainer is whoever builds the package: DEBFULLNAME and DEBEMAIL, as for dch, else the
# user's name and address on this machine.
# Usage: build-package.sh SOURCE_FOLDER PACKAGE_BUILD_FOLDER [PACKAGE_OUTPUT_FOLDER]
set -euo pipefail
source=$(cd "$1" && pwd) build=$2 output=${3:-$2}
name=${DEBFULLNAME:-$(getent passwd "$(id -un)" | cut -d: -f5 | cut -d, -f1)}
email=${DEBEMAIL:-$(id -un)@$(hostname -f 2>/dev/null || hostname)}
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
LDFLAGS=$(dpkg-buildflags --get LDFLAGS) \
  cmake -S "$source" -B "$build" -DCMAKE_BUILD_TYPE=Release -DSARVEX_GUI=ON -DSARVEX_CLI=ON \
        -DSARVEX_TESTS=OFF -DSARVEX_BENCH=OFF -DSARVEX_SANITIZE=OFF \
        "-DSARVEX_PACKAGE_MAINTAINER=${name:-$(id -un)} <$email>" >/dev/null
cmake --build "$build" -j"$(nproc)"
mkdir -p "$output"
(cd "$build" && cpack -G DEB -B "$(cd "$output" && pwd)")
