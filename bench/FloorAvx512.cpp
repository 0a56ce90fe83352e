// SPDX-License-Identifier: GPL-3.0-or-later
#include <immintrin.h>

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "Floor.h"

namespace {
#include "FloorKernel.inc"
}  // namespace

void floorAvx512Steps(const FloorFilters& filters, FloorState& state, const float* inLeft, const float* inRight,
                      int frames) {
  FloorBands bands;
  floorStepsBlock(filters, state, inLeft, inRight, bands, frames);
}

void floorAvx512Ahead(const FloorFilters& filters, FloorState& state, const float* inLeft, const float* inRight,
                      int frames) {
  FloorBands bands;
  floorAheadBlock(filters, state, inLeft, inRight, bands, frames);
}
