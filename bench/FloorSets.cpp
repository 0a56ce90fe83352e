// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstring>

#include "Floor.h"
#include "ShapeAlone.h"

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

bool shapeAloneSse2(const BlockJob&, const float*, float*, int);
bool shapeAloneAvx2(const BlockJob&, const float*, float*, int);
bool shapeAloneAvx512(const BlockJob&, const float*, float*, int);

ShapeAlone shapeAloneFor(const char* kernelSet) {
  if (std::strcmp(kernelSet, "sse2") == 0) return shapeAloneSse2;
  if (std::strcmp(kernelSet, "avx2") == 0) return shapeAloneAvx2;
  if (std::strcmp(kernelSet, "avx512") == 0) return shapeAloneAvx512;
  return nullptr;
}
