// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "Parameters.h"

/// What one band uses for a whole block.
struct BandSettings {
  float frequencyHz = 0.0f;  // of its filter, from the cut-off
  float q = 0.0f;            // of its filter, after the band's limit
  int32_t curve = curve::soft;
  float threshold = 0.0f;  // normalised, as the soft, anarchik and fuzz sqrt curves take it
  float drive = 0.0f;      // of fuzz atan and fuzz exp
  float gainFactor = 0.0f;
};

/// The one thing the parameter side hands the audio side: every value a
/// block uses, taken once at its start, so the block sees one consistent set
/// whatever other threads change meanwhile.
struct BlockSettings {
  BandSettings bands[param::kBands];
  bool clearHistories = false;  // suspend or resume came since the last block
};
