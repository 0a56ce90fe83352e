// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What every kernel unit includes before it opens the anonymous namespace
// that holds its copy of the kernels (Lanes.inc, Recursion.inc,
// BlockKernel.inc). Only the library's and the processor's own headers and
// plain data types come from outside that namespace.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <experimental/simd>
#include <math.h>
#include <type_traits>

#if defined(__SSE2__)
#include <immintrin.h>
#elif defined(__aarch64__)
#include <arm_neon.h>
#endif

#include "BlockJob.h"
#include "Flush.h"
#include "Parameters.h"
