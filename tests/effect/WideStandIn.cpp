// SPDX-License-Identifier: GPL-3.0-or-later
// The 16-lane kernel set (AVX-512's width and schedule) over portable lane
// types, built for AVX2 with FMA: where the processor has no AVX-512, the
// identity and vector-maths tests still execute the widest formula. What it
// cannot execute are the AVX-512 forms of the lane layer (Lanes.inc: the
// fused multiply-adds, widening and joining; ExactMaths.inc: the
// sixteen-entry lookup), which only a processor with AVX-512 runs.

#define TRIBAND_PORTABLE_FLOAT_LANES 16
#include "kernels/Prelude.h"

namespace {
#include "kernels/Lanes.inc"
#include "kernels/Recursion.inc"
#include "kernels/BlockKernel.inc"

static_assert(kStepFrames == 8, "the stand-in takes the 16-lane set's steps");

bool hasAvx2() noexcept {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}
void render(BlockJob& job) noexcept { renderBlock(job); }

}  // namespace

// The stand-in's maths, for the vector-maths test.
#define TRIBAND_MATH_SET WideStandIn
#include "VectorMathEntries.inc"

#include "WideStandIn.h"

const KernelSet& wideStandIn() noexcept {
  static constexpr KernelSet kStandIn{"avx512-portable", render, hasAvx2};
  return kStandIn;
}
