#!/usr/bin/env bash
# Loads the built plug-in into a real sequencer (Ardour, headless) and checks
# what Ardour reports: the scan, the parameters and programs, the rendered
# levels and the state after a save and reload in a new process.
# Usage: ardour_check_test.sh PLUGIN.so CHECK_TOOL   (exit 77: skipped)
set -uo pipefail
plugin=$1
tool=$2

if ! command -v ardour7-lua >/dev/null || [ ! -x /usr/lib/ardour7/ardour-vst-scanner ]; then
  echo "SKIPPED: Ardour 7 is not installed (package ardour)"; exit 77
fi
if [ ! -f "$tool" ]; then
  echo "SKIPPED: the Ardour check tool is not at $tool"; exit 77
fi
command -v sox >/dev/null || { echo "SKIPPED: sox is not installed"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Ardour trusts its scan cache only when the cache is newer than the library.
cp "$plugin" "$work/TriBandDistortion.so"
sleep 1

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect_line() {  # log, fixed text
  grep -qF -- "$2" "$1" || fail "Ardour did not report: $2"
}
rms_of() {  # log, section (processed or bypassed): the overall RMS level
  awk -v s="$2:" '$1 == s {found = 1} found && /RMS lev dB/ {print $4; exit}' "$1"
}

bash "$tool" "$work/TriBandDistortion.so" >"$work/default.log" 2>&1
bash "$tool" -p 12=1.0 "$work/TriBandDistortion.so" >"$work/lowgain.log" 2>&1
cat "$work/default.log"

log=$work/default.log
expect_line "$log" "RESULT: OK"
expect_line "$log" "unique_id=1365521266 ('r3dQ')"
expect_line "$log" "audio in/out=2/2"
expect_line "$log" "processReplacing=1"
expect_line "$log" "PARAMS: count=15"
expect_line "$log" "PRESETS: count=16"
names=(" Low Cutoff " " Mid Cutoff " " High Cutoff " " Low Q " " Mid Q " " High Q " " Low Disto Type "
  " Mid Disto Type " " High Disto Type " " L Threshold " " M Threshold " " H Threshold " " Low Gain "
  " Mid Gain " " High Gain ")
defaults=(1 0.5 0 0.7 0.7 0.7 0 0 0 0 0 0 0.5 0.5 0.5)
for i in "${!names[@]}"; do
  expect_line "$log" "PARAM[$i]: name='${names[$i]}' value=${defaults[$i]} default=${defaults[$i]} "
done
expect_line "$log" "reload: all 15 parameter values restored identically"

processed=$(rms_of "$log" processed)
bypassed=$(rms_of "$log" bypassed)
[ -n "$processed" ] && [ "$processed" != "$bypassed" ] ||
  fail "the processed render ($processed dB RMS) does not differ from the bypassed one ($bypassed dB RMS)"

log=$work/lowgain.log
expect_line "$log" "RESULT: OK"
expect_line "$log" "FINAL: param[12] ' Low Gain ' = 1"
expect_line "$log" "reload: all 15 parameter values restored identically"
louder=$(rms_of "$log" processed)
[ -n "$louder" ] && [ "$louder" != "$processed" ] ||
  fail "Low Gain 1.0 set through Ardour did not change the render ($louder vs $processed dB RMS)"
echo "processed RMS: default $processed dB, Low Gain 1.0 $louder dB; bypassed $bypassed dB"

[ "$failures" -eq 0 ] && echo "ardour check: all assertions held"
exit $((failures > 0))
