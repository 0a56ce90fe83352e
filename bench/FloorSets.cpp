// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstring>

#include "Floor.h"

void floorSse2(const FloorFilters&, FloorState&, const float*, const float*, int);
void floorAvx2(const FloorFilters&, FloorState&, const float*, const float*, int);
void floorAvx512(const FloorFilters&, FloorState&, const float*, const float*, int);

FloorKernel floorFor(const char* kernelSet) {
  if (std::strcmp(kernelSet, "sse2") == 0) return floorSse2;
  if (std::strcmp(kernelSet, "avx2") == 0) return floorAvx2;
  if (std::strcmp(kernelSet, "avx512") == 0) return floorAvx512;
  return nullptr;
}
