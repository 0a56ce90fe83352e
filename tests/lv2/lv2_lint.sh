#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Our own lint of the LV2 bundle, for what hosts read to treat a plug-in as
# released and to lay out its controls (lv2lint is not packaged): a minor
# version above 0 and even (a release) and a micro version, a licence, a
# maintainer with a name (of the plug-in's project), a comment on the plug-in
# and on every port, every port in a group, audio ports with a left or right
# designation, and integer ports' default, minimum and maximum written as
# integers. Reads the bundle's Turtle with sordi.
# Usage: lv2_lint.sh BUNDLE   (exit 77: sordi is missing; a failure when CI is set)
set -uo pipefail
bundle=$1
command -v sordi >/dev/null || { echo "sordi is not installed (package sordi)"; [ -n "${CI:-}" ] && exit 1; exit 77; }
plugin="<urn:tribanddistortion:TriBandDistortion>"
lv2="http://lv2plug.in/ns/lv2core#"
triples=$(sordi -o ntriples "$bundle/TriBandDistortion.ttl" "file://$bundle/TriBandDistortion.ttl" 2>/dev/null)
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
objects() { grep -F "$1 <$2> " <<<"$triples" | sed -E "s/^[^ ]+ <[^>]+> (.*) \.$/\1/"; }

minor=$(objects "$plugin" "${lv2}minorVersion" | sed -E 's/^"([0-9]+)".*/\1/')
micro=$(objects "$plugin" "${lv2}microVersion" | sed -E 's/^"([0-9]+)".*/\1/')
[ -n "$minor" ] && [ "$minor" -gt 0 ] && [ $((minor % 2)) -eq 0 ] || fail "minorVersion '$minor' is not an even number above 0"
[ -n "$micro" ] || fail "no microVersion"
[ -n "$(objects "$plugin" "http://usefulinc.com/ns/doap#license")" ] || fail "no licence"
[ -n "$(objects "$plugin" "http://www.w3.org/2000/01/rdf-schema#comment")" ] || fail "no comment on the plug-in"
project=$(objects "$plugin" "${lv2}project")
maintainer=$(objects "$project" "http://usefulinc.com/ns/doap#maintainer")
name=$(objects "$maintainer" "http://xmlns.com/foaf/0.1/name")
[ -n "$name" ] || fail "no maintainer with a name (doap:maintainer of the lv2:project)"
ports=$(objects "$plugin" "${lv2}port")
[ "$(wc -l <<<"$ports")" -eq 25 ] || fail "not 25 ports"
for port in $ports; do
  symbol=$(objects "$port" "${lv2}symbol")
  [ -n "$(objects "$port" "http://www.w3.org/2000/01/rdf-schema#comment")" ] || fail "port $symbol has no comment"
  [ -n "$(objects "$port" "http://lv2plug.in/ns/ext/port-groups#group")" ] || fail "port $symbol is in no group"
  if grep -qF "$port <http://www.w3.org/1999/02/22-rdf-syntax-ns#type> <${lv2}AudioPort>" <<<"$triples"; then
    objects "$port" "${lv2}designation" | grep -qE "port-groups#(left|right)>" || fail "audio port $symbol is neither left nor right"
  fi
  if objects "$port" "${lv2}portProperty" | grep -qF "<${lv2}integer>"; then
    for bound in default minimum maximum; do
      objects "$port" "${lv2}$bound" | grep -qF "XMLSchema#integer>" || fail "integer port $symbol's $bound is not an integer"
    done
  fi
done
[ "$failures" -eq 0 ] && echo "lv2 lint: version $minor.$micro, licence, maintainer '$name', 25 ports commented and grouped"
exit $((failures > 0))
