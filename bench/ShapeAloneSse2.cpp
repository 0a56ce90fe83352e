// SPDX-License-Identifier: GPL-3.0-or-later
#include "Prelude.h"
#include "ShapeAlone.h"
#include "ShapeAlone.inc"

bool shapeAloneSse2(const BlockJob& job, const float* bandValues, float* mixed, int frames) {
  return shapeAloneBlock(job, bandValues, mixed, frames);
}
