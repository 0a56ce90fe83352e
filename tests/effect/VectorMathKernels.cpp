// SPDX-License-Identifier: GPL-3.0-or-later
// One kernel set's vector sine and exponential, a batch at a time, built as
// the set's unit of the audio path is (its flags, its lane layer), so the
// vector-maths test holds the formula the curves inline to the library's
// result. Compiled once per set, TRIBAND_MATH_SET naming it.

#include "kernels/Prelude.h"

namespace {
#include "kernels/Lanes.inc"

template <class Function, class Library>
void batch(const double* arguments, float* out, int count, Function function, Library library) noexcept {
  for (int i = 0; i < count; i += kDoubleLanes) {
    const Doubles x(arguments + i, stdx::element_aligned);
    Doubles::mask_type good;
    const Doubles result = function(x, good);
    finish(result, good, x, library).copy_to(out + i, stdx::element_aligned);
  }
}

}  // namespace

#define TRIBAND_JOIN(a, b) a##b
#define TRIBAND_NAMED(name, set) TRIBAND_JOIN(name, set)

void TRIBAND_NAMED(sines, TRIBAND_MATH_SET)(const double* arguments, float* out, int count) noexcept {
  batch(arguments, out, count, sine<false>, librarySine);
}

void TRIBAND_NAMED(exponentials, TRIBAND_MATH_SET)(const double* arguments, float* out, int count) noexcept {
  batch(arguments, out, count, exponential<false>, libraryExponential);
}
