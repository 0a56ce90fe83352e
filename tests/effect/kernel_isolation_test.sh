#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Each kernel set is compiled for its own instructions. If one of its units
# defined a weak (inline or template) function that another unit also
# defines, the linker would keep one copy for all, and a processor without
# those instructions could end up running it. So no kernel unit may define
# one: everything in them has internal linkage.
# Usage: kernel_isolation_test.sh LIBEFFECT.a
set -euo pipefail
library=$1
weak=$(nm -A -C --defined-only "$library" | awk -F: '$2 ~ /^Kernels/ {print}' |
  grep -E ' [WVu] ' | grep -v 'DW.ref.__gxx_personality_v0' || true)
if [ -n "$weak" ]; then
  echo "kernel units define symbols another unit may also define:"
  echo "$weak"
  exit 1
fi
units=$(nm -A --defined-only "$library" | awk -F: '$2 ~ /^Kernels/ {print $2}' | sort -u | tr '\n' ' ')
echo "no shared inline code in: $units"
