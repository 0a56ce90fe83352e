// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The six filter steps alone, one build per instruction set: the floor the
// effect is measured against.

struct FloorFilters {
  float b0[3], b1[3], b2[3], a1[3], a2[3];
};

/// Left and right histories of the three filters, in the floor's layout.
struct alignas(16) FloorState {
  double history[3][8] = {};
};

using FloorKernel = void (*)(const FloorFilters& filters, FloorState& state, const float* inLeft, const float* inRight,
                             int frames);

/// One arrangement of the floor's work, by its row name in the table.
struct FloorArrangement {
  const char* name;
  FloorKernel kernel;
};
constexpr int kFloorArrangements = 2;

/// The floor's arrangements built for a kernel set's instructions ("sse2",
/// "avx2", "avx512"), kFloorArrangements of them, or null.
const FloorArrangement* floorsFor(const char* kernelSet);
