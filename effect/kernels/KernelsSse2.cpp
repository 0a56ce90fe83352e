// SPDX-License-Identifier: GPL-3.0-or-later
// The audio path for baseline x86 vector instructions (SSE2), as every x86-64 processor and the 32-bit build have. The
// same kernels as every other set, compiled with this set's flags (effect/CMakeLists.txt).

#include "Prelude.h"

namespace {
#include "Lanes.inc"
#include "Recursion.inc"
#include "BlockKernel.inc"
}  // namespace

void renderSse2(BlockJob& job) noexcept { renderBlock(job); }
