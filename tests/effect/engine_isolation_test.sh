#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The engine knows no plug-in interface: no file of effect/ but the record
# edition's own (TriBandDistortion, its factory) and no file of lv2/ includes
# a header of frame/, the record interface.
# Usage: engine_isolation_test.sh SOURCE_DIR
set -euo pipefail
cd "$1"
headers=$(cd frame && ls -- *.h)
status=0
for file in $(find effect lv2 -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.inc' \) | sort); do
  case $file in effect/TriBandDistortion.* | effect/EffectFactory.cpp) continue ;; esac
  for header in $headers; do
    if grep -qE "^\s*#\s*include\s*[\"<](.*/)?$header[\">]" "$file"; then
      echo "$file includes $header of frame/"
      status=1
    fi
  done
done
[ "$status" -eq 0 ] && echo "the engine and the LV2 edition include nothing of frame/"
exit "$status"
