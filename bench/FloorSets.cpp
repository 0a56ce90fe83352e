// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstring>

#include "Floor.h"
#include "ShapeAlone.h"
#include "Unchained.h"

#define TRIBAND_FLOORS_OF(unit)                                                                \
  void unit##Steps(const FloorFilters&, FloorState&, const float*, const float*, int);         \
  void unit##Ahead(const FloorFilters&, FloorState&, const float*, const float*, int);         \
  constexpr FloorArrangement unit##Floors[kFloorArrangements] = {{"floor_steps", unit##Steps}, \
                                                                 {"floor_ahead", unit##Ahead}};
TRIBAND_FLOORS_OF(floorSse2)
TRIBAND_FLOORS_OF(floorAvx2)
TRIBAND_FLOORS_OF(floorAvx512)

bool shapeAloneSse2(const BlockJob&, const float*, float*, int);
bool shapeAloneAvx2(const BlockJob&, const float*, float*, int);
bool shapeAloneAvx512(const BlockJob&, const float*, float*, int);
void unchainedSse2(BlockJob&);
void unchainedAvx2(BlockJob&);
void unchainedAvx512(BlockJob&);

namespace {

/// What the benchmark builds for each kernel set it measures.
struct Yardsticks {
  const char* kernelSet;
  const FloorArrangement* floors;
  ShapeAlone shape;
  Unchained unchained;
};
constexpr Yardsticks kYardsticks[] = {
    {"sse2", floorSse2Floors, shapeAloneSse2, unchainedSse2},
    {"avx2", floorAvx2Floors, shapeAloneAvx2, unchainedAvx2},
    {"avx512", floorAvx512Floors, shapeAloneAvx512, unchainedAvx512},
};

const Yardsticks* yardsticksFor(const char* kernelSet) {
  for (const Yardsticks& row : kYardsticks)
    if (std::strcmp(kernelSet, row.kernelSet) == 0) return &row;
  return nullptr;
}

}  // namespace

const FloorArrangement* floorsFor(const char* kernelSet) {
  const Yardsticks* row = yardsticksFor(kernelSet);
  return row ? row->floors : nullptr;
}

ShapeAlone shapeAloneFor(const char* kernelSet) {
  const Yardsticks* row = yardsticksFor(kernelSet);
  return row ? row->shape : nullptr;
}

Unchained unchainedFor(const char* kernelSet) {
  const Yardsticks* row = yardsticksFor(kernelSet);
  return row ? row->unchained : nullptr;
}
