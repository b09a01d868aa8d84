#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package as `make package` does (a hardened build in a folder of its own) and checks
# that it holds every installable part, that they are valid, that dpkg-shlibdeps found the libraries
# the programs need, and that lintian finds no error and no warning.
# Usage: check-package.sh SOURCE_FOLDER PACKAGE_BUILD_FOLDER VERSION
set -u
source=$1 build=$2 version=$3
for tool in dpkg-deb dpkg-buildflags lintian; do
  if ! command -v $tool >/dev/null; then
    echo "SKIPPED: $tool is not installed, so the Debian package can be neither built nor checked"
    exit 77
  fi
done
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# A maintainer of this machine's choosing would make the result depend on it.
if ! DEBFULLNAME="Package Test" DEBEMAIL=package-test@sarvex.invalid \
    "$source/packaging/build-package.sh" "$source" "$build" "$out" >"$out/build.log" 2>&1; then
  tail -50 "$out/build.log"
  exit 1
fi
deb="$out/sarvex_${version}_amd64.deb"
[ -f "$deb" ] || { ls "$out"; echo "FAIL: no $deb"; exit 1; }
tags=$(lintian --tag-display-limit 0 "$deb" 2>/dev/null | grep -E '^[EW]: ')
[ -z "$tags" ] || fail "lintian: $tags"
[ "$(dpkg-deb -f "$deb" Maintainer)" = "Package Test <package-test@sarvex.invalid>" ] ||
  fail "the Maintainer is not the packager's: $(dpkg-deb -f "$deb" Maintainer)"

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for file in usr/bin/sarvex usr/bin/sarvex-cli \
    usr/share/applications/sarvex.desktop usr/share/icons/hicolor/128x128/apps/sarvex.png \
    usr/share/doc/sarvex/guide.html usr/share/doc/sarvex/guide.ja.html \
    usr/share/doc/sarvex/copyright usr/share/doc/sarvex/changelog.gz \
    usr/share/man/man1/sarvex.1.gz usr/share/man/man1/sarvex-cli.1.gz \
    usr/share/bash-completion/completions/sarvex-cli \
    usr/share/metainfo/io.github.sarvex.Sarvex.metainfo.xml; do
  grep -qxF "./$file" <<<"$contents" || fail "the package lacks /$file"
done

depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libstdc++6 libqt6widgets6; do
  grep -q "\b$library\b" <<<"$depends" || fail "Depends lacks $library: $depends"
done
# FFmpeg is loaded at run time, so dpkg-shlibdeps cannot find it: the package must name it.
for library in libavutil libavcodec libavformat; do
  grep -Eq "\b$library[0-9]+\b" <<<"$depends" || fail "Depends lacks $library: $depends"
done

dpkg-deb -x "$deb" "$out/root"
root="$out/root/usr"
[ "$("$root/bin/sarvex-cli" --version)" = "sarvex-cli $version" ] || fail "the packaged sarvex-cli --version"
# The desktop program answers these without a display.
[ "$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 10 "$root/bin/sarvex" --version)" = "sarvex $version" ] ||
  fail "sarvex --version without a display"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 10 "$root/bin/sarvex" --help | grep -q '^Usage: sarvex ' ||
  fail "sarvex --help without a display"
for page in sarvex sarvex-cli; do
  warnings=$(zcat "$root/share/man/man1/$page.1.gz" | groff -man -ww -z 2>&1)
  [ -z "$warnings" ] || fail "groff warns about $page.1: $warnings"
done
zcat "$root/share/man/man1/sarvex-cli.1.gz" | grep -q -- '--output-dir' || fail "sarvex-cli.1 lacks the options"
zcat "$root/share/man/man1/sarvex-cli.1.gz" | grep -q '^\.SH "EXIT STATUS"' || fail "sarvex-cli.1 lacks EXIT STATUS"
for section in "INPUT FORMATS" "JSON REPORT"; do
  zcat "$root/share/man/man1/sarvex-cli.1.gz" | grep -q "^\.SH \"$section\"" || fail "sarvex-cli.1 lacks $section"
done
# One spelling of the cancelled status.
! zcat "$root/share/man/man1/sarvex-cli.1.gz" | grep -qi canceled || fail "sarvex-cli.1 spells \"canceled\" too"
desktop-file-validate "$root/share/applications/sarvex.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$root/share/metainfo/io.github.sarvex.Sarvex.metainfo.xml" >"$out/as.log" 2>&1 ||
  { cat "$out/as.log"; fail "appstreamcli validate"; }

[ $failures -eq 0 ] && echo "$(basename "$deb"): $(wc -l <<<"$contents") entries, Depends: $depends"
exit $((failures > 0))
