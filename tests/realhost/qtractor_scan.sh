#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Qtractor's out-of-process plug-in scanner, as Qtractor runs it when it
# meets a CLAP file: it reads "CLAP:path" lines and answers one line per
# plug-in: CLAP|name|audio in:out|midi in:out|controls in:out|flags|path|index|id.
# The CLAP edition must show as stereo in and out, no MIDI, fifteen controls,
# and state (EXT) besides real-time (RT).
# Usage: qtractor_scan.sh PLUGIN.clap   (exit 77 when Qtractor is missing, a failure when CI is set)
set -uo pipefail
scanner=$(ls /usr/lib/*/qtractor/qtractor_plugin_scan 2>/dev/null | head -1)
if [ -z "$scanner" ]; then
  if [ -n "${CI:-}" ]; then echo "FAIL: Qtractor is not installed (CI must have it)"; exit 1; fi
  echo "SKIPPED: Qtractor is not installed (package qtractor)"; exit 77
fi
plugin=$(realpath "$1")
# The scanner splits its input at ':', so the path must hold none.
case $plugin in *:*) echo "FAIL: '$plugin' holds a ':'"; exit 1 ;; esac
line=$(echo "CLAP:$plugin" | env -u DISPLAY -u WAYLAND_DISPLAY timeout 30 "$scanner" 2>&1 | grep '^CLAP|')
echo "$line"
expected="CLAP|TriBandDistortion|2:2|0:0|21:0|EXT,RT|$plugin|0|0x"
case $line in
  "$expected"*) echo "qtractor scan: as expected" ;;
  *) echo "FAIL: expected a line starting '$expected'"; exit 1 ;;
esac
