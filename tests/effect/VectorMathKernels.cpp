// SPDX-License-Identifier: GPL-3.0-or-later
// One kernel set's vector sine and exponential, built as the set's unit of
// the audio path is (its flags, its lane layer), so the vector-maths test
// holds the formula the curves inline to the library's result. Compiled once
// per set, TRIBAND_MATH_SET naming it.

#include "kernels/Prelude.h"

namespace {
#include "kernels/Lanes.inc"
#include "kernels/ExactMaths.inc"
}  // namespace

#include "VectorMathEntries.inc"
