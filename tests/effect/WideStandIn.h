// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "kernels/KernelSet.h"

/// The AVX-512 set's formula and schedule over portable 16-lane types, for
/// processors without AVX-512; it runs where AVX2 and FMA do.
const KernelSet& wideStandIn() noexcept;
