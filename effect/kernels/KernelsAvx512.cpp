// SPDX-License-Identifier: GPL-3.0-or-later
// The audio path for processors with AVX-512 (F, DQ, VL, BW) and FMA. The same kernels as every other set, compiled
// with this set's flags (effect/CMakeLists.txt).

#include "Prelude.h"

namespace {
#include "Lanes.inc"
#include "Recursion.inc"
#include "BlockKernel.inc"
}  // namespace

void renderAvx512(BlockJob& job) noexcept { renderBlock(job); }
