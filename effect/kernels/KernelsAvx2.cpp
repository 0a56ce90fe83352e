// SPDX-License-Identifier: GPL-3.0-or-later
// The audio path for processors with AVX2 and FMA. The same kernels as every other set, compiled
// with this set's flags (effect/CMakeLists.txt).

#include "Prelude.h"

namespace {
#include "Lanes.inc"
#include "Recursion.inc"
#include "BlockKernel.inc"
}  // namespace

void renderAvx2(BlockJob& job) noexcept { renderBlock(job); }
