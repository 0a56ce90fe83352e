// SPDX-License-Identifier: GPL-3.0-or-later
// The audio path for processors with AVX-512 (F, DQ, VL, BW) and FMA. The same kernels as every other set, compiled
// with this set's flags (effect/CMakeLists.txt).

#include "Prelude.h"

namespace {
#include "Lanes.inc"
#include "Recursion.inc"
#include "BlockKernel.inc"
}  // namespace

void renderAvx2(BlockJob& job) noexcept;

// A short block holds only four of this set's vectors: too few for its
// chunks to overlap. Where no band runs a heavy curve, the AVX2 unit's
// vectors of four frames do better with it, to the same bits (measured at
// 32-frame blocks: 7-17 % faster; at 64 frames and above neither is faster
// for every light curve, and the heavy curves gain from the wide vectors at
// every length).
void renderAvx512(BlockJob& job) noexcept {
  if (shortAndLight(job))
    renderAvx2(job);
  else
    renderBlock(job);
}
