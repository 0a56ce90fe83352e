#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The built LV2 bundle in Debian's LV2 tools: its Turtle validates against
# lv2-dev's schemas, lilv lists its ports with their units and scale points,
# and files rendered through lv2file and through ffmpeg's lv2 filter equal,
# to the bit, files rendered through the record edition by tribandist with
# the same settings.
# Usage: lv2_hosts_test.sh BUNDLE TRIBANDIST   (exit 77: skipped; a failure when CI is set)
set -uo pipefail
bundle=$1
tribandist=$2
uri=urn:tribanddistortion:TriBandDistortion
missing() {
  if [ -n "${CI:-}" ]; then echo "FAIL: $* (CI must have it)"; exit 1; fi
  echo "SKIPPED: $*"; exit 77
}
for tool in sord_validate:sordi lv2info:lilv-utils lv2file:lv2file ffmpeg:ffmpeg sox:sox; do
  command -v "${tool%%:*}" >/dev/null || missing "${tool%%:*} is not installed (package ${tool#*:})"
done
[ -d /usr/lib/lv2/schemas.lv2 ] || missing "the LV2 schemas are not installed (package lv2-dev)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/lv2"
cp -r "$bundle" "$work/lv2/"
export LV2_PATH=$work/lv2:/usr/lib/lv2
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

echo "== sord_validate"
schemas=$(find /usr/lib/lv2/schemas.lv2 /usr/lib/lv2/core.lv2 /usr/lib/lv2/units.lv2 /usr/lib/lv2/port-props.lv2 \
  /usr/lib/lv2/presets.lv2 /usr/lib/lv2/port-groups.lv2 -name '*.ttl')
# shellcheck disable=SC2086
sord_validate $schemas "$work"/lv2/*.lv2/*.ttl >"$work/validate.log" 2>&1
tail -1 "$work/validate.log"
grep -q "^Found 0 errors" "$work/validate.log" || { cat "$work/validate.log"; fail "the bundle's Turtle does not validate"; }

echo "== lv2info"
lv2info "$uri" >"$work/info.txt" 2>&1 || fail "lv2info does not find $uri"
lv2info -p "$work/description.ttl" "$uri" >/dev/null 2>&1
grep -E "Class:|Presets:|---|Symbol:" "$work/info.txt" | tr -s '\t' ' ' | paste -sd ' ' | fold -w 160
grep -q "Class: *Distortion Plugin" "$work/info.txt" || fail "the class is not Distortion Plugin"
grep -q -- "--- Default ---" "$work/info.txt" || fail "the preset '--- Default ---' is not listed"
[ "$(grep -c 'Symbol:' "$work/info.txt")" = 25 ] || fail "lv2info does not list 25 ports"
for label in soft "fuzz atan" "fuzz exp" "fuzz sqrt" anarchik arnarchik; do
  grep -q "= \"$label\"" "$work/info.txt" || fail "no scale point '$label'"
done
for unit in hz:3 pc:7 db:4; do
  [ "$(grep -c "units#unit> <http://lv2plug.in/ns/extensions/units#${unit%:*}>" "$work/description.ttl")" = "${unit#*:}" ] ||
    fail "not ${unit#*:} ports in units:${unit%:*}"
done

echo "== renders: lv2file and ffmpeg against tribandist (the record edition)"
sox -n -r 44100 -c 2 -e floating-point -b 32 "$work/in.wav" synth 1.5 sine 220 sine 3300 gain -3 2>/dev/null
raw() { sox -V1 "$1" -t f32 -; }
compare() {  # name, lv2file block size, tribandist --set arguments, lv2 port settings (symbol=value ...)
  local name=$1 block=$2 sets=$3 ports=$4 lv2args=(-b "$2") ffargs="" p
  for p in $ports; do
    lv2args+=(-p "${p%%=*}:${p#*=}")
    ffargs+="${ffargs:+|}$p"
  done
  # Underscores stand for the spaces of names and values, which word splitting would cut.
  local setArgs=() a
  for a in $sets; do setArgs+=("${a//_/ }"); done
  "$tribandist" render "$work/in.wav" "$work/$name-record.wav" --quiet "${setArgs[@]}" >/dev/null ||
    fail "$name: tribandist failed"
  lv2file -i "$work/in.wav" -o "$work/$name-lv2file.wav" "${lv2args[@]}" "$uri" >/dev/null 2>&1 ||
    fail "$name: lv2file failed"
  ffmpeg -loglevel error -y -i "$work/in.wav" -af "lv2=p=${uri//:/\\\\:}${ffargs:+:c=$ffargs}" -c:a pcm_f32le \
    "$work/$name-ffmpeg.wav" || fail "$name: ffmpeg failed"
  for host in lv2file ffmpeg; do
    if cmp -s <(raw "$work/$name-record.wav") <(raw "$work/$name-$host.wav"); then
      echo "$name: $host equals the record edition to the bit"
    else
      fail "$name: $host differs from the record edition"
    fi
  done
}
# Ardour bounces 8192 frames a call; any length gives the same output.
compare defaults 8192 "" ""
# One setting of every kind of port: cut-off, Q, curve, threshold and gain.
compare settings 333 "--set 0=0.5 --set Mid_Q=50% --set High_Disto_Type=fuzz_sqrt --set L_Threshold=30% --set H_Threshold=25% --set High_Gain=6.020599_dB" \
  "low_cutoff=362.5 mid_q=50 high_disto_type=4 low_threshold=30 high_threshold=25 high_gain=6.0206"
# A value in the unit means that value in both editions, not the roundest one that shows it.
compare units 512 "--set Low_Cutoff=300 --set Mid_Cutoff=1234_Hz --set Low_Gain=-7.5_dB" \
  "low_cutoff=300 mid_cutoff=1234 low_gain=-7.5"
cmp -s <(raw "$work/defaults-record.wav") <(raw "$work/settings-record.wav") && fail "the settings change nothing"

echo "== the options: a preset without them is the classic sound; Mix 0 % and bypass give the input"
lv2file -i "$work/in.wav" -o "$work/preset.wav" -P "--- Default ---" "$uri" >/dev/null 2>&1 || fail "preset: lv2file failed"
cmp -s <(raw "$work/defaults-record.wav") <(raw "$work/preset.wav") || fail "the preset without the options differs"
for port in mix:0 enabled:0; do
  lv2file -i "$work/in.wav" -o "$work/input.wav" -p "$port" "$uri" >/dev/null 2>&1 || fail "$port: lv2file failed"
  cmp -s <(raw "$work/in.wav") <(raw "$work/input.wav") || fail "$port does not give the input exactly"
done
lv2file -i "$work/in.wav" -o "$work/options.wav" -p oversampling:2 -p band_edges:1 -p stereo:1 -p output:-6 "$uri" \
  >/dev/null 2>&1 || fail "options: lv2file failed"
cmp -s <(raw "$work/defaults-record.wav") <(raw "$work/options.wav") && fail "the options change nothing"

[ "$failures" -eq 0 ] && echo "lv2 hosts: all assertions held"
exit $((failures > 0))
