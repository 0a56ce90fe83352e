// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstring>

#include "Floor.h"

#define TRIBAND_FLOORS_OF(unit)                                                                \
  void unit##Steps(const FloorFilters&, FloorState&, const float*, const float*, int);         \
  void unit##Ahead(const FloorFilters&, FloorState&, const float*, const float*, int);         \
  constexpr FloorArrangement unit##Floors[kFloorArrangements] = {{"floor_steps", unit##Steps}, \
                                                                 {"floor_ahead", unit##Ahead}};
TRIBAND_FLOORS_OF(floorSse2)
TRIBAND_FLOORS_OF(floorAvx2)
TRIBAND_FLOORS_OF(floorAvx512)

const FloorArrangement* floorsFor(const char* kernelSet) {
  if (std::strcmp(kernelSet, "sse2") == 0) return floorSse2Floors;
  if (std::strcmp(kernelSet, "avx2") == 0) return floorAvx2Floors;
  if (std::strcmp(kernelSet, "avx512") == 0) return floorAvx512Floors;
  return nullptr;
}
