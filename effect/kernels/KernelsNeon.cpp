// SPDX-License-Identifier: GPL-3.0-or-later
// The audio path for 64-bit ARM processors, all of which have NEON. The same
// kernels as every other set, compiled for this one (effect/CMakeLists.txt).

#include "Prelude.h"

namespace {
#include "Lanes.inc"
#include "Recursion.inc"
#include "BlockKernel.inc"
}  // namespace

void renderNeon(BlockJob& job) noexcept { renderBlock(job); }
