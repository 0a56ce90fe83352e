#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package round trip, as a user installs it: dpkg -i puts the
# plug-ins where hosts look (Ardour's scanners find the record edition in
# /usr/lib/vst and the VST3 edition in /usr/lib/vst3, Qtractor's the CLAP
# edition in /usr/lib/clap, lilv the LV2 edition in /usr/lib/lv2), the installed
# tribandist finds the installed plug-in and renders the demo, and dpkg -r
# leaves none of the package's files behind.
# Usage: deb_roundtrip.sh PACKAGE.deb   (needs root; exit 77 otherwise, a failure when CI is set)
set -uo pipefail
deb=$1
package=tribanddistortion
uri=urn:tribanddistortion:TriBandDistortion
skip() {
  if [ -n "${CI:-}" ]; then echo "FAIL: $*"; exit 1; fi
  echo "SKIPPED: $*"; exit 77
}
[ "$(id -u)" -eq 0 ] || skip "installing a package needs root"
dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" &&
  skip "$package is installed on this machine already; not touching it"
[ -x /usr/lib/ardour7/ardour-vst-scanner ] || skip "Ardour 7 is not installed (package ardour)"
command -v lv2ls >/dev/null || skip "lv2ls is not installed (package lilv-utils)"

work=$(mktemp -d)
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
trap 'dpkg -P "$package" >/dev/null 2>&1; rm -rf "$work"' EXIT

echo "== lintian"
if command -v lintian >/dev/null; then
  # Errors fail; the warnings left are named in the README's packaging notes.
  lintian --fail-on error "$deb" 2>&1 | grep -v "running with root privileges" || true
  lintian --fail-on error "$deb" >/dev/null 2>&1 || fail "lintian reports errors"
else
  skip "lintian is not installed (package lintian)"
fi

echo "== dpkg -i $(basename "$deb")"
dpkg -i "$deb" >"$work/install.log" 2>&1 || { cat "$work/install.log"; fail "dpkg -i failed"; exit 1; }
dpkg -L "$package" | while read -r f; do [ -f "$f" ] && echo "$f"; done >"$work/files"
cat "$work/files"
dpkg-query -W -f='Depends: ${Depends}\n' "$package"

echo "== where hosts look"
export HOME=$work XDG_CACHE_HOME=$work/cache LD_LIBRARY_PATH=/usr/lib/ardour7
timeout 60 /usr/lib/ardour7/ardour-vst-scanner -f /usr/lib/vst/TriBandDistortion.so >"$work/scan.log" 2>&1
grep -q "Found Plugin: 'r3dQ' TriBandDistortion" "$work/scan.log" || { tail -5 "$work/scan.log"; fail "Ardour's scanner does not find the plug-in in /usr/lib/vst"; }
grep "Found Plugin" "$work/scan.log"
timeout 60 /usr/lib/ardour7/ardour-vst3-scanner -f /usr/lib/vst3/TriBandDistortion.vst3 >"$work/scan3.log" 2>&1
grep -q "Found Plugin: TriBandDistortion" "$work/scan3.log" ||
  { tail -5 "$work/scan3.log"; fail "Ardour's VST3 scanner does not find the bundle in /usr/lib/vst3"; }
grep "Found Plugin" "$work/scan3.log"
[ -f /usr/lib/clap/TriBandDistortion.clap ] || fail "the CLAP edition is not in /usr/lib/clap"
"$(dirname "$0")/../realhost/qtractor_scan.sh" /usr/lib/clap/TriBandDistortion.clap ||
  fail "Qtractor's scanner does not read the installed CLAP edition"
unset LV2_PATH
lv2ls | grep -qx "$uri" || fail "lv2ls does not list $uri from /usr/lib/lv2"
lv2ls | grep -x "$uri"

echo "== the installed tribandist"
(cd "$work" && /usr/bin/tribandist info) >"$work/info.txt" 2>&1 || fail "tribandist info failed"
grep -q "^plug-in     /usr/lib/vst/TriBandDistortion.so" "$work/info.txt" ||
  fail "the installed tribandist does not find the installed plug-in: $(head -1 "$work/info.txt")"
head -2 "$work/info.txt"
(cd "$work" && /usr/bin/tribandist render demo.wav -q >/dev/null) || fail "the demo render failed"
[ -s "$work/demo.wav" ] || fail "no demo file"
man -w tribandist >/dev/null 2>&1 || [ -f /usr/share/man/man1/tribandist.1.gz ] || fail "no manual page"

echo "== dpkg -r"
dpkg -r "$package" >/dev/null 2>&1 || fail "dpkg -r failed"
left=$(while read -r f; do [ -e "$f" ] && echo "$f"; done <"$work/files")
[ -z "$left" ] || fail "dpkg -r left: $left"
[ -d /usr/lib/lv2/TriBandDistortion.lv2 ] && fail "dpkg -r left the LV2 bundle folder"
[ -d /usr/lib/vst3/TriBandDistortion.vst3 ] && fail "dpkg -r left the VST3 bundle folder"

[ "$failures" -eq 0 ] && echo "deb round trip: all assertions held"
exit $((failures > 0))
