// SPDX-License-Identifier: GPL-3.0-or-later
#include <immintrin.h>

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "Floor.h"

namespace {
#include "FloorKernel.inc"
}  // namespace

void floorAvx2(const FloorFilters& filters, FloorState& state, const float* inLeft, const float* inRight, int frames) {
  FloorBands bands;
  floorBlock(filters, state, inLeft, inRight, bands, frames);
}
