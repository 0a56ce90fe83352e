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

/// The options of the newer editions; as constructed they are the record's
/// sound, and the audio side then runs the record's path unchanged.
struct OptionSettings {
  bool bypass = false;
  bool hostRateEdges = false;  // the filters designed for the host's rate instead of 44100 Hz
  float mix = 1.0f;            // share of the processed signal, 0..1
  float outputFactor = 1.0f;   // linear
  int32_t oversampling = 1;    // 1, 2, 4 or 8
  bool midSide = false;
};

/// The one thing the parameter side hands the audio side: every value a
/// block uses, taken once at its start, so the block sees one consistent set
/// whatever other threads change meanwhile.
struct BlockSettings {
  BandSettings bands[param::kBands];
  OptionSettings options;
  float hostRate = 44100.0f;    // as the host announced it
  bool clearHistories = false;  // suspend or resume came since the last block
};
