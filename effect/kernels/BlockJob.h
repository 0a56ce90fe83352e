// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "BandFilters.h"
#include "DistortionCurves.h"

/// What one band does during a block.
struct BandJob {
  int32_t curve = 0;  // selector 1..5; any other value passes the band unshaped
  float gainFactor = 0.0f;
  float drive = 0.0f;          // of fuzz atan and fuzz exp, as the band sends it
  float fuzzSqrtDrive = 0.0f;  // the threshold times 100
  const SoftCurve* soft = nullptr;
  const AnarchikCurve* anarchik = nullptr;
};

/// One block for a kernel set: the bands, the filters whose histories it
/// carries on, the shared fuzz curves whose maxima it raises, and the
/// buffers. Kernels read the filters' and curves' fields and call only their
/// out-of-line operations, so no code compiled for one instruction set is
/// shared with another.
struct BlockJob {
  BandJob bands[3];
  StereoBiquad* filters[3] = {nullptr, nullptr, nullptr};
  FuzzAtanCurve* fuzzAtan = nullptr;
  FuzzExpCurve* fuzzExp = nullptr;
  FuzzSqrtCurve* fuzzSqrt = nullptr;
  const float* inLeft = nullptr;
  const float* inRight = nullptr;
  float* outLeft = nullptr;
  float* outRight = nullptr;
  int32_t frames = 0;   // at least 1
  bool adding = false;  // process adds to the outputs, processReplacing overwrites them
  // Replacing only: samples below the float's normal range are written as
  // zero of their sign (flush::normal), so the caller need not go over the
  // outputs again.
  bool keepNormal = false;
};
