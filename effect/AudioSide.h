// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "BandFilters.h"
#include "BlockSettings.h"
#include "DistortionCurves.h"
#include "OptionPath.h"
#include "kernels/KernelSet.h"

/// The effect's audio-thread state: the three band filters with their
/// histories, the curves with their running maxima, and what they were last
/// designed from. Only the processing calls touch it; each block starts from
/// one BlockSettings taken from the parameter side.
class AudioSide {
public:
  /// Filters are designed for filterSampleRate for the effect's whole life,
  /// whatever rate the host announces later: stored songs rely on how the
  /// effect sounds. The host-rate band edges option designs them for the
  /// host's rate instead, and oversampling for the rate the bands run at.
  explicit AudioSide(float filterSampleRate);

  /// Processes a block (sampleFrames > 0): process adds to the outputs,
  /// processReplacing overwrites them. Only processReplacing takes the
  /// options (the record edition, which adds, has none).
  void process(const BlockSettings& settings, float** inputs, float** outputs, int32_t sampleFrames) noexcept;
  void processReplacing(const BlockSettings& settings, float** inputs, float** outputs, int32_t sampleFrames) noexcept;

  /// Runs the audio path on another kernel set (one this processor runs);
  /// the output is the same on every set, which is what comparison runs check.
  void useKernelSet(const KernelSet& set) { kernelSet = &set; }
  const KernelSet& kernels() const { return *kernelSet; }

private:
  /// Returns whether the outputs are already kept in the normal range.
  bool render(const BlockSettings& settings, float** inputs, float** outputs, int32_t sampleFrames,
              bool adding) noexcept;
  void design(const BlockSettings& settings, float runningRate) noexcept;
  void renderBands(const BlockSettings& settings, float* const* inputs, float* const* outputs, int32_t frames,
                   bool adding, bool keepNormal) noexcept;
  float hostRate(const BlockSettings& settings) const;  // as announced, if it is a rate at all
  float runningRate(const BlockSettings& settings, int32_t factor) const;
  int32_t oversampling(const BlockSettings& settings) const;  // as asked, unless the rate would pass its limit

  LowPassFilter lowFilter;
  BandPassFilter midFilter;
  HighPassFilter highFilter;
  SoftCurve lowSoftCurve, midSoftCurve, highSoftCurve;
  FuzzAtanCurve fuzzAtanCurve;
  FuzzExpCurve fuzzExpCurve;
  FuzzSqrtCurve fuzzSqrtCurve;
  AnarchikCurve lowAnarchikCurve, midAnarchikCurve, highAnarchikCurve;
  const float filterSampleRate;

  // The fastest kernel set the processor runs, unless a caller chose another.
  const KernelSet* kernelSet;

  // What the filters and the threshold-driven curves were last designed
  // from; NaN until the first block, so that one designs everything.
  struct Designed {
    float frequencyHz;
    float q;
    float threshold;
  } designed[3];
  float designedRate;

  OptionPath options;
};
